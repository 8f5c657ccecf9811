#include <algorithm>

#include "game/world.h"

namespace {

using namespace testworld;

class BoardTest : public EngineTest {};

TEST_F(BoardTest, ResetGameStartsEveryModeFromTheSameMeters) {
  struct Case {
    std::int32_t mode, score;
  };
  for (Case c : {Case{0, 0}, Case{Easy, 0}, Case{Hard, 0}, Case{Melvoria, 1000}}) {
    SCOPED_TRACE(c.mode);
    gameStatus.gameMode = c.mode;
    gameStatus.score = 777;
    gameStatus.betPercent = 45;
    gameStatus.life = 3;
    gameStatus.pendingPoints = 9;
    gameStatus.matchActive = 1;
    gameStatus.reelStrip[2][0] = 4242;
    engine.comboLevel = 4;
    engine.lifeOut = 1;
    engine.betUpState = 2;
    engine.reelButtonsReady = engine.spinButtonReady = engine.makeScoreReady = engine.betKeysReady = 1;
    shell.dragArmed = 1;
    requests.gameOverBanner = 2;
    ResetGame();
    EXPECT_EQ(gameStatus.score, c.score);
    EXPECT_EQ(gameStatus.betPercent, 3);
    EXPECT_EQ(gameStatus.life, 17);
    EXPECT_EQ(gameStatus.pendingPoints, 0);
    EXPECT_EQ(gameStatus.matchActive, 0);
    EXPECT_EQ(gameStatus.matchPause, 38);
    EXPECT_EQ(gameStatus.gameMode, c.mode);
    EXPECT_EQ(gameStatus.reelStrip[2][0], 4242);
    EXPECT_EQ(engine.comboLevel, 4) << "the reset leaves comboLevel alone";
    EXPECT_EQ(engine.lifeOut, 0);
    EXPECT_EQ(engine.betUpState, 0);
    EXPECT_EQ(engine.reelButtonsReady + engine.spinButtonReady + engine.makeScoreReady + engine.betKeysReady,
              0);
    EXPECT_EQ(shell.dragArmed, 0);
    EXPECT_EQ(requests.gameOverBanner, 0);
    for (std::int32_t p : gameStatus.pendingItem) EXPECT_EQ(p, kNothingPending);
  }
}

TEST_F(BoardTest, ResetGameTakesTheSpeedsFromTheSetting) {
  struct Case {
    std::int32_t gameSpeed, reelSpeed, replaceStep;
  };
  for (Case c : {Case{1, 1, 1}, Case{2, 3, 3}, Case{3, 5, 3}, Case{0, 7, 9}, Case{4, 7, 9}}) {
    SCOPED_TRACE(c.gameSpeed);
    gameStatus.gameSpeed = c.gameSpeed;
    for (std::int32_t& s : gameStatus.reelSpeed) s = 7;
    engine.replaceStep = 9;
    ResetGame();
    for (std::int32_t s : gameStatus.reelSpeed) EXPECT_EQ(s, c.reelSpeed);
    EXPECT_EQ(engine.replaceStep, c.replaceStep);
  }
}

TEST_F(BoardTest, BeginNewGameFillsTheTopOfTheStripsAndOpensWithASpin) {
  OpenSounds();
  gameStatus.gameMode = Easy;
  int seen[8] = {};
  for (int game = 0; game < 20; ++game) {
    ce::host::AdvanceTime(7);  // another seed each time
    BeginNewGame();
    for (int k = 0; k < 5; ++k) {
      for (int p = 1; p <= 10; ++p) {
        std::int32_t v = gameStatus.reelStrip[k][p];
        ASSERT_TRUE(v % 100 == 0 && v >= 0 && v <= 700) << v;
        ++seen[v / 100];
      }
      for (int p = 11; p <= 23; ++p) ASSERT_EQ(gameStatus.reelStrip[k][p], 0);
    }
  }
  // Blank and Super come as often as the others in the opening strips.
  for (int c = 0; c < 8; ++c) EXPECT_GT(seen[c], 60) << c;

  EXPECT_EQ(gameStatus.reelMotion[0], Down);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(gameStatus.reelMotion[k], ReelIdle);
  EXPECT_EQ(gameStatus.spinStep[0], 1);
  EXPECT_EQ(gameStatus.reelSpeed[0], 3);
  EXPECT_EQ(engine.savedSpeed[0], 1);
  EXPECT_EQ(gameStatus.spinSettled, 0);
  EXPECT_EQ(TakeSounds(), std::vector<int>(20, 5));
}

TEST_F(BoardTest, TheOpeningSpinFillsTheWindowAndSettles) {
  gameStatus.gameMode = Hard;
  FirstPlayPaint();
  EXPECT_EQ(engine.gamePhase, Running);
  ASSERT_TRUE(StepUntil([] { return gameStatus.spinSettled == 1; }, 20000));
  EXPECT_EQ(engine.spinButtonReady, 1);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(gameStatus.reelSpeed[k], 1);
  // Every visible cell now holds an item that came from the strip at rest.
  for (int i = 0; i < kCells; ++i) EXPECT_EQ(BoardValue(i) % 100, 0) << i;
}

TEST_F(BoardTest, StartGameShowsTheScreenOfTheMode) {
  for (std::int32_t mode : {Easy, Hard, Melvoria}) {
    ResetWorld();
    shell.ScreenState = MainMenu;
    shell.BackgroundReady = 1;
    shell.settingsOkPressed = 1;
    StartGame(MainWindow(), mode);
    EXPECT_EQ(gameStatus.gameMode, mode);
    EXPECT_EQ(shell.ScreenState, Play);
    EXPECT_EQ(shell.BackgroundReady, 0);
    EXPECT_EQ(shell.settingsOkPressed, 0);
    EXPECT_EQ(gameStatus.life, 0) << "the game itself begins at the first paint";
    EXPECT_TRUE(Covers(ce::host::InvalidRegion(MainWindow()), ce::RECT{0, 0, 480, 640}));
  }
}

TEST_F(BoardTest, StartGameIgnoresOtherModes) {
  for (std::int32_t mode : {0, 4, -1}) {
    shell.BackgroundReady = 1;
    StartGame(MainWindow(), mode);
    EXPECT_EQ(shell.ScreenState, MainMenu);
    EXPECT_EQ(shell.BackgroundReady, 1);
    EXPECT_EQ(gameStatus.gameMode, 0);
  }
}

TEST_F(BoardTest, WithHelpOnTheFirstStartOpensTheHelpPopupOnly) {
  gameStatus.helpEnabled = 1;
  StartGame(MainWindow(), Hard);
  EXPECT_EQ(shell.PopupState, Help);
  EXPECT_EQ(shell.pendingMode, Hard);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(gameStatus.gameMode, 0);
  ASSERT_NE(shell.popupWindow, nullptr);
  // Logical (0, 38), 240 x 240 on the 192-dpi screen.
  ce::RECT r{};
  ce::GetWindowRect(shell.popupWindow, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 76);
  EXPECT_EQ(r.right, 480);
  EXPECT_EQ(r.bottom, 556);
  EXPECT_EQ(shell.popupHeight, 480);
  auto windows = ce::host::TopLevelWindows();
  EXPECT_EQ(windows.back(), shell.popupWindow) << "the popup lies over the main window";

  // Confirmed with OK, the popup starts the pending game.
  shell.helpShownThisSession = 1;
  StartGame(MainWindow(), shell.pendingMode);
  EXPECT_EQ(gameStatus.gameMode, Hard);
  EXPECT_EQ(shell.ScreenState, Play);
}

TEST_F(BoardTest, ContinueGameRebuildsTheRunTimeValuesOfAStoredGame) {
  struct Case {
    std::int32_t gameSpeed, savedSpeed;
    std::uint8_t spinSettled;
    std::int32_t look;
  };
  for (Case c : {Case{1, 1, 1, 12}, Case{2, 3, 0, 0}, Case{3, 5, 1, 12}, Case{9, 0, 0, 0}}) {
    SCOPED_TRACE(c.gameSpeed);
    ResetWorld();
    gameStatus.gameSpeed = c.gameSpeed;
    gameStatus.spinSettled = c.spinSettled;
    engine.gamePhase = Running;
    engine.resumePending = 1;
    engine.sequenceCount = 40;
    engine.buttonPressed = 0;
    ContinueGame(MainWindow());
    for (std::int32_t s : engine.savedSpeed) EXPECT_EQ(s, c.savedSpeed);
    EXPECT_EQ(requests.boardDirty, 1);
    EXPECT_EQ(engine.reelButtonsReady, 1);
    EXPECT_EQ(engine.holdTicks, 10);
    EXPECT_EQ(engine.meterPeriod, 40);
    EXPECT_EQ(engine.checkPeriod, 90);
    EXPECT_EQ(engine.buttonPressed, 1);
    EXPECT_EQ(engine.sequenceCount, 0);
    EXPECT_EQ(requests.spinButtonLook, c.look);
    EXPECT_EQ(engine.resumePending, 0);
    EXPECT_GT(GameTimerMessages(20), 0);
  }
}

TEST_F(BoardTest, AStoredGameContinuesInMidMove) {
  gameStatus.gameMode = Easy;
  gameStatus.gameSpeed = 1;
  ResetGame();
  for (int k = 0; k < 5; ++k)
    for (int p = 1; p <= 23; ++p) gameStatus.reelStrip[k][p] = ((p + k) % 7 + 1) * 100;
  gameStatus.spinSettled = 1;
  gameStatus.reelMotion[2] = Up;
  for (int p = 11; p <= 14; ++p) gameStatus.reelStrip[2][p] += 30;
  const std::int32_t comingIn = gameStatus.reelStrip[2][14] - 30;
  engine = EngineState{};
  engine.gamePhase = Running;
  engine.resumePending = 1;
  FirstPlayPaint();
  EXPECT_EQ(gameStatus.reelStrip[2][14] % 100, 31) << "the first tick moved it on";
  Step(14);
  EXPECT_EQ(gameStatus.reelMotion[2], ReelIdle);
  EXPECT_EQ(gameStatus.reelStrip[2][13], comingIn);
}

}  // namespace
