#include "game/world.h"

namespace {

using namespace testworld;

class TickTest : public EngineTest {};

struct MeterCase {
  const char* name;
  std::int32_t life, gain, loss, betUpState;
  std::int32_t lifeAfter, gainAfter, lossAfter;
};

const MeterCase kMeterCases[] = {
    {"gain nets the loss away", 10, 5, 3, 0, 11, 1, 0},
    {"loss nets the gain away", 10, 3, 5, 0, 9, 0, 1},
    {"equal changes cancel", 10, 4, 4, 0, 10, 0, 0},
    {"one unit gained", 5, 1, 0, 0, 6, 0, 0},
    {"one unit lost", 5, 0, 2, 0, 4, 0, 1},
    {"full meter keeps its gain during the bonus", 30, 4, 0, 2, 30, 4, 0},
    {"a full meter still loses", 30, 0, 3, 2, 29, 0, 2},
};

TEST_F(TickTest, MeterTickMovesLifeOneUnit) {
  for (const MeterCase& c : kMeterCases) {
    SCOPED_TRACE(c.name);
    SettledGame(Easy);
    gameStatus.life = c.life;
    gameStatus.lifeGain = c.gain;
    gameStatus.lifeLoss = c.loss;
    engine.betUpState = c.betUpState;
    engine.sequenceCount = 5;
    MeterTick(MainWindow());
    EXPECT_EQ(gameStatus.life, c.lifeAfter);
    EXPECT_EQ(gameStatus.lifeGain, c.gainAfter);
    EXPECT_EQ(gameStatus.lifeLoss, c.lossAfter);
    EXPECT_EQ(requests.metersDirty, 1);
  }
}

struct BetUpCase {
  std::int32_t mode, bet;
  std::int32_t betAfter, pointsAdded;
};

const BetUpCase kBetUps[] = {
    {Easy, 3, 6, 0},          {Easy, 93, 96, 0},     {Easy, 96, 99, 5000}, {Easy, 99, 99, 5000},
    {Hard, 3, 6, 0},          {Hard, 96, 99, 5000},  {Hard, 99, 99, 5000}, {Melvoria, 12, 12, 1200},
    {Melvoria, 99, 99, 9900}, {Melvoria, 3, 3, 300},
};

TEST_F(TickTest, AFullMeterStartsTheBetUpBonus) {
  OpenSounds();
  for (const BetUpCase& c : kBetUps) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " bet " << c.bet);
    SettledGame(c.mode);
    gameStatus.betPercent = c.bet;
    gameStatus.pendingPoints = 10;
    gameStatus.life = 29;
    gameStatus.lifeGain = 4;
    TakeSounds();
    MeterTick(MainWindow());
    EXPECT_EQ(gameStatus.life, 30);
    EXPECT_EQ(engine.betUpState, 1);
    EXPECT_EQ(gameStatus.lifeGain, 0);
    EXPECT_EQ(gameStatus.lifeLoss, 13);
    EXPECT_EQ(gameStatus.betPercent, c.betAfter);
    EXPECT_EQ(gameStatus.pendingPoints, 10 + c.pointsAdded);
    EXPECT_EQ(TakeSounds(), std::vector<int>{1});
    EXPECT_EQ(engine.sequenceCount, 1) << "the bonus counts this meter tick";
    EXPECT_EQ(requests.refillRequest, 1);
  }
}

TEST_F(TickTest, TheBonusRunsTwelveMeterTicksWithIdleReels) {
  SettledGame(Easy);
  engine.betUpState = 2;
  engine.sequenceCount = 11;
  gameStatus.life = 20;
  gameStatus.reelMotion[2] = Down;  // a reel still moving: the bonus waits at 12
  MeterTick(MainWindow());
  EXPECT_EQ(engine.sequenceCount, 12);
  EXPECT_EQ(engine.betUpState, 2);
  EXPECT_EQ(requests.refillRequest, 0);
  MeterTick(MainWindow());
  EXPECT_EQ(engine.betUpState, 2);
  gameStatus.reelMotion[2] = ReelIdle;
  MeterTick(MainWindow());
  EXPECT_EQ(engine.betUpState, 0);
  EXPECT_EQ(engine.sequenceCount, 0);
  EXPECT_EQ(requests.boardDirty, 1);
  EXPECT_EQ(requests.metersDirty, 1);

  // With the reels idle the eleventh bonus tick ends it at once.
  engine.betUpState = 2;
  engine.sequenceCount = 11;
  requests.boardDirty = 0;
  MeterTick(MainWindow());
  EXPECT_EQ(engine.betUpState, 0);
  EXPECT_EQ(engine.sequenceCount, 0);
  EXPECT_EQ(requests.refillRequest, 0);
  EXPECT_EQ(requests.boardDirty, 1);
}

TEST_F(TickTest, TheRefillTurnsBlankCellsIntoItems) {
  SettledGame(Easy);
  SetBoard({0, 1, 0, 2, 3, 4, 0, 5, 6, 1, 2, 3, 4, 5, 0});
  requests.refillRequest = 1;
  RefillBlankCells();
  EXPECT_EQ(requests.refillRequest, 0);
  EXPECT_EQ(gameStatus.matchActive, 1);
  for (int i = 0; i < kCells; ++i) {
    bool blank = i == 0 || i == 2 || i == 6 || i == 14;
    if (blank) {
      EXPECT_TRUE(gameStatus.pendingItem[i] >= 100 && gameStatus.pendingItem[i] <= 700) << i;
    } else {
      EXPECT_EQ(gameStatus.pendingItem[i], kNothingPending) << i;
    }
  }
}

TEST_F(TickTest, LifeOutOnASettledBoardWithoutAGroupEndsTheGame) {
  SettledGame(Easy);
  gameStatus.life = 1;
  gameStatus.lifeLoss = 3;
  gameStatus.lifeGain = 1;
  MeterTick(MainWindow());  // nets to a loss of 2; one unit goes and life is out
  EXPECT_EQ(gameStatus.life, 0);
  EXPECT_EQ(engine.lifeOut, 1);
  EXPECT_EQ(gameStatus.lifeGain, 0);
  EXPECT_EQ(gameStatus.lifeLoss, 0);
  EXPECT_EQ(requests.panelRequest, 24);
  EXPECT_EQ(requests.spinButtonLook, 14);
  EXPECT_EQ(engine.gamePhase, Ending);
}

TEST_F(TickTest, LifeOutWithAGroupOnTheBoardGoesOn) {
  SettledGame(Easy);
  SetBoard({5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  gameStatus.life = 0;
  MeterTick(MainWindow());
  EXPECT_EQ(engine.gamePhase, Running);
  EXPECT_EQ(gameStatus.matchActive, 1);
  EXPECT_EQ(gameStatus.pendingPoints, 45);
  EXPECT_EQ(gameStatus.life, 1);
  EXPECT_EQ(engine.lifeOut, 0);
  EXPECT_EQ(requests.panelRequest, 20);
  EXPECT_EQ(requests.spinButtonLook, 12);
}

TEST_F(TickTest, LifeOutDuringASpinWaitsForTheSpinToSettle) {
  SettledGame(Easy);
  Tap(SpinAll);
  ServePaint();
  gameStatus.life = 0;
  MeterTick(MainWindow());
  EXPECT_EQ(engine.lifeOut, 1);
  EXPECT_EQ(requests.panelRequest, 24);
  EXPECT_EQ(engine.gamePhase, Running);
  ServePaint();
  EXPECT_EQ(engine.reelButtonsReady, 0);
  // The spin runs out without re-enabling "Spin All"; the next meter tick decides.
  for (int i = 0; i < 5000 && !AllReelsIdle(); ++i)
    for (int k = 0; k < 5; ++k) StepReel(k);
  EXPECT_NE(requests.spinButtonLook, 12);
  EXPECT_EQ(gameStatus.spinSettled, 1);
  EXPECT_EQ(engine.gamePhase, Running);
  SetBoard({1, 2, 3, 4, 5, 4, 5, 1, 2, 3, 2, 3, 4, 5, 1});
  MeterTick(MainWindow());
  EXPECT_EQ(engine.gamePhase, Ending);
}

struct TransferCase {
  const char* name;
  std::int32_t mode, pending;
  std::vector<std::int32_t> steps;  // what each paying call adds to the score
};

const TransferCase kTransfers[] = {
    {"45 in halves", Easy, 45, {22, 22, 1}},
    {"4 in halves", Easy, 4, {2, 2}},
    {"3 in ones", Easy, 3, {1, 1, 1}},
    {"299 in halves", Easy, 299, {149, 149, 1}},
    {"300 in thirds", Easy, 300, {100, 100, 100}},
    {"1000 in thirds", Hard, 1000, {333, 333, 333, 1}},
    {"1999 in thirds", Easy, 1999, {666, 666, 666, 1}},
    {"2000 in quarters", Easy, 2000, {500, 500, 500, 500}},
    {"5000 in quarters", Easy, 5000, {1250, 1250, 1250, 1250}},
    {"Melvoria raises 5 to 12", Melvoria, 5, {6, 6}},
    {"Melvoria keeps 12", Melvoria, 12, {6, 6}},
};

TEST_F(TickTest, TransferScoreMovesPointsInChunks) {
  OpenSounds();
  for (const TransferCase& c : kTransfers) {
    SCOPED_TRACE(c.name);
    SettledGame(c.mode);
    gameStatus.score = 500;
    gameStatus.pendingPoints = c.pending;
    TakeSounds();
    TransferScore(MainWindow());
    EXPECT_EQ(gameStatus.score, 500) << "the first call only sets the transfer up";
    std::vector<std::int32_t> steps;
    for (int i = 0; i < 10 && gameStatus.pendingPoints > 0; ++i) {
      std::int32_t before = gameStatus.score;
      TransferScore(MainWindow());
      steps.push_back(gameStatus.score - before);
    }
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(TakeSounds(), std::vector<int>(c.steps.size(), 2));
    EXPECT_EQ(engine.transferLeft, 0);
    EXPECT_EQ(engine.transferSeen, 0);
    TransferScore(MainWindow());
    EXPECT_TRUE(TakeSounds().empty()) << "nothing pending, nothing moves";
  }
}

TEST_F(TickTest, PointsWonDuringATransferMoveOnce) {
  SettledGame(Easy);
  gameStatus.score = 0;
  gameStatus.pendingPoints = 1000;
  TransferScore(MainWindow());
  TransferScore(MainWindow());
  EXPECT_EQ(gameStatus.score, 333);
  EXPECT_EQ(gameStatus.pendingPoints, 667) << "what is still owed";
  gameStatus.pendingPoints += 45;  // a group pays while the transfer runs
  for (int i = 0; i < 20 && gameStatus.pendingPoints > 0; ++i) TransferScore(MainWindow());
  EXPECT_EQ(gameStatus.score, 1045);
  EXPECT_EQ(gameStatus.pendingPoints, 0);
}

TEST_F(TickTest, TheScoreStopsBelowAMillion) {
  SettledGame(Easy);
  gameStatus.score = 999989;
  gameStatus.pendingPoints = 100;
  TransferScore(MainWindow());
  TransferScore(MainWindow());
  EXPECT_LE(gameStatus.score, 999999);
  EXPECT_GT(gameStatus.score, 999999 - 3000);
  EXPECT_EQ(gameStatus.pendingPoints, 0);
  EXPECT_EQ(engine.transferLeft, 0);
  EXPECT_EQ(engine.transferSeen, 0);
}

TEST_F(TickTest, AMelvoriaScoreOfTwoOrLessEndsTheGame) {
  struct Case {
    std::int32_t score;
    bool ends;
  };
  for (Case c : {Case{3, false}, Case{2, true}, Case{0, true}}) {
    SCOPED_TRACE(c.score);
    SettledGame(Melvoria);
    gameStatus.score = c.score;
    gameStatus.lifeGain = 4;
    TransferScore(MainWindow());
    EXPECT_EQ(engine.gamePhase, c.ends ? Ending : Running);
    if (c.ends) {
      EXPECT_EQ(gameStatus.score, 0);
      EXPECT_EQ(gameStatus.lifeGain, 0);
      EXPECT_EQ(engine.lifeOut, 1);
      EXPECT_EQ(requests.panelRequest, 24);
      EXPECT_EQ(requests.spinButtonLook, 14);
    }
  }
  SettledGame(Easy);
  gameStatus.score = 0;
  TransferScore(MainWindow());
  EXPECT_EQ(engine.gamePhase, Running) << "only Melvoria runs out of score";
}

struct PenaltyCase {
  const char* name;
  std::int32_t mode, score, bet;
  std::uint8_t spinSettled;
  bool group;
  std::int32_t scoreAfter;
};

const PenaltyCase kPenalties[] = {
    {"half the bet", Melvoria, 1000, 3, 1, false, 985},
    {"odd bet halves down", Melvoria, 1000, 21, 1, false, 895},
    {"score 3 at 99 percent", Melvoria, 3, 99, 1, false, 2},
    {"score 1 at 99 percent loses nothing", Melvoria, 1, 99, 1, false, 1},
    {"a group pays instead", Melvoria, 1000, 3, 1, true, 1000},
    {"not while a spin runs", Melvoria, 1000, 3, 0, false, 1000},
    {"not in Easy", Easy, 1000, 3, 1, false, 1000},
    {"not in Hard", Hard, 1000, 3, 1, false, 1000},
    // A damaged store's negative bet turns the cost into a gain that stops at the top.
    {"a negative bet stops at the top", Melvoria, 2000000000, -100, 1, false, 2147483647},
    {"a negative bet below the top", Melvoria, 1000, -20, 1, false, 1100},
};

TEST_F(TickTest, AMelvoriaMoveWithoutAGroupCostsHalfTheBet) {
  for (const PenaltyCase& c : kPenalties) {
    SCOPED_TRACE(c.name);
    SettledGame(c.mode);
    gameStatus.score = c.score;
    gameStatus.betPercent = c.bet;
    gameStatus.spinSettled = c.spinSettled;
    if (c.group) SetBoard({0, 0, 0, 0, 0, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0});
    ApplyMovePenalty();
    EXPECT_EQ(gameStatus.score, c.scoreAfter);
    EXPECT_EQ(gameStatus.matchActive, c.group && c.mode == Melvoria ? 1 : 0);
  }
}

TEST_F(TickTest, ThePenaltyLooksForGroupsEvenWhenLifeIsOut) {
  SettledGame(Melvoria);
  SetBoard({0, 0, 0, 0, 0, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0});
  engine.lifeOut = 1;
  ApplyMovePenalty();
  EXPECT_EQ(gameStatus.matchActive, 1);
  EXPECT_EQ(engine.lifeOut, 1);
}

// Reel 4 coming to rest at the end of a Melvoria spin (spinSettled still 0).
TEST_F(TickTest, AMelvoriaSpinWithoutAGroupCostsTheWholeBet) {
  struct Case {
    std::int32_t score, bet, after;
  };
  for (Case c : {Case{1000, 3, 970}, Case{100, 99, 1}, Case{0, 50, 0}, Case{7, 10, 7},
                 Case{2000000000, -100, 2147483647}}) {
    SCOPED_TRACE(c.score);
    SettledGame(Melvoria);
    gameStatus.spinSettled = 0;
    gameStatus.score = c.score;
    gameStatus.betPercent = c.bet;
    gameStatus.reelStrip[4][10] = 700;  // comes in without forming a group
    gameStatus.reelSpeed[4] = 15;
    gameStatus.reelMotion[4] = Down;
    for (int i = 0; i < 3; ++i) StepReel(4);
    EXPECT_EQ(gameStatus.reelMotion[4], ReelIdle);
    EXPECT_EQ(gameStatus.matchActive, 0);
    EXPECT_EQ(gameStatus.score, c.after);
    EXPECT_EQ(gameStatus.spinSettled, 1);
  }
}

TEST_F(TickTest, GameTickRunsMeterDetectionAndReleaseOnTheirPeriods) {
  SettledGame(Easy);
  engine.meterCountdown = 0;
  engine.checkCountdown = 0;
  engine.comboLevel = 1;
  gameStatus.life = 20;
  gameStatus.lifeLoss = 100;
  std::vector<int> lifeDrops, passes;
  for (int t = 1; t <= 200; ++t) {
    std::int32_t life = gameStatus.life, combo = engine.comboLevel;
    GameTick(MainWindow());
    if (gameStatus.life != life) lifeDrops.push_back(t);
    if (engine.comboLevel != combo) passes.push_back(t);
  }
  EXPECT_EQ(lifeDrops, (std::vector<int>{1, 41, 81, 121, 161}));
  EXPECT_EQ(passes, (std::vector<int>{1, 91, 181}));
}

TEST_F(TickTest, DetectionWaitsForTheBoardToSettle) {
  SettledGame(Easy);
  gameStatus.spinSettled = 0;
  engine.checkCountdown = 0;
  engine.comboLevel = 1;
  SetBoard({4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (int t = 0; t < 100; ++t) GameTick(MainWindow());
  EXPECT_EQ(gameStatus.matchActive, 0);
  EXPECT_EQ(engine.comboLevel, 1);
}

TEST_F(TickTest, AButtonIsReleasedInTheTenthTickAfterItsPress) {
  SettledGame(Easy);
  Tap(ReelUp + 0);
  EXPECT_EQ(requests.buttonToRedraw, 2);
  requests.buttonToRedraw = 0;
  for (int t = 1; t <= 9; ++t) {
    GameTick(MainWindow());
    ASSERT_EQ(engine.buttonPressed, 1) << t;
    ASSERT_EQ(requests.buttonToRedraw, 0) << t;
  }
  GameTick(MainWindow());
  EXPECT_EQ(engine.buttonPressed, 0);
  EXPECT_EQ(requests.buttonToRedraw, 2);
  EXPECT_EQ(engine.holdCountdown, 0);
}

TEST_F(TickTest, TheReleaseGoesToTheLastCommandEvenWhenItWasRefused) {
  SettledGame(Easy);
  Tap(ReelDown + 2);
  GameTick(MainWindow());
  ServePaint();
  Tap(SpinAll);  // refused: reel 2 moves
  EXPECT_EQ(engine.lastCommand, SpinAll);
  EXPECT_EQ(requests.spinButtonLook, 0);
  for (int t = 0; t < 9; ++t) {
    GameTick(MainWindow());
    ServePaint();
  }
  EXPECT_EQ(engine.buttonPressed, 0) << "the release was issued, for command 11";
  EXPECT_EQ(requests.buttonToRedraw, 0) << "and it did not redraw the arrow";
  EXPECT_EQ(requests.spinButtonLook, 0);
}

TEST_F(TickTest, EveryTickAsksForTheTopAreaAndTheBoard) {
  for (std::int32_t phase : {NotStarted, Running, Ending, Idle}) {
    SCOPED_TRACE(phase);
    ResetWorld();
    SettledGame(Easy);
    engine.gamePhase = phase;
    ce::ValidateRect(MainWindow(), nullptr);
    GameTick(MainWindow());
    auto region = ce::host::InvalidRegion(MainWindow());
    // 192 dpi: logical (0, 0, 200, 100) and the board (15, 89, 225, 224), doubled.
    EXPECT_TRUE(Covers(region, ce::RECT{0, 0, 400, 200}));
    EXPECT_TRUE(Covers(region, ce::RECT{30, 178, 450, 448}));
  }
}

TEST_F(TickTest, TheFirstTickStartsTheGameTimer) {
  SettledGame(Easy);
  engine = EngineState{};
  EXPECT_EQ(GameTimerMessages(50), 0);
  GameTick(MainWindow());
  EXPECT_EQ(engine.gamePhase, Running);
  EXPECT_EQ(engine.holdTicks, 10);
  EXPECT_EQ(engine.meterPeriod, 40);
  EXPECT_EQ(engine.checkPeriod, 90);
  EXPECT_EQ(engine.reelButtonsReady, 1);
  EXPECT_GT(GameTimerMessages(50), 0);
}

TEST_F(TickTest, TheGameOverSequence) {
  OpenSounds();
  SettledGame(Easy);
  engine.gamePhase = Ending;
  engine.sequenceCount = 0;
  engine.transferLeft = 150;
  gameStatus.score = 1000;
  ce::SetTimer(MainWindow(), kGameTimer, 2, nullptr);
  TakeSounds();
  int spinStart = -1;
  for (int c = 0; c <= 200; ++c) {
    const bool idleBefore = AllReelsIdle();
    GameTick(MainWindow());
    ServePaint();
    if (c == 0) {
      EXPECT_EQ(requests.gameOverBanner, 2);
      EXPECT_EQ(requests.scoreBanner, 0);
    }
    if (c == 1) {
      EXPECT_EQ(TakeSounds(), std::vector<int>{3});
    }
    if (c == 30) {
      EXPECT_EQ(gameStatus.score, 1150);
      for (int k = 0; k < 5; ++k)
        for (int p : {8, 9, 10}) EXPECT_EQ(gameStatus.reelStrip[k][p], 0);
    }
    if (c == 50) {
      EXPECT_EQ(requests.scoreBanner, 0);
    }
    if (c == 51) {
      EXPECT_EQ(requests.scoreBanner, 2);
    }
    if (idleBefore && !AllReelsIdle()) spinStart = c;
  }
  EXPECT_EQ(spinStart, 100);
  // The three blanks came into the window: the board is empty.
  for (int i = 0; i < kCells; ++i) EXPECT_EQ(BoardValue(i), 0) << i;
  EXPECT_EQ(requests.gameOverBanner, 0);
  EXPECT_EQ(requests.scoreBanner, 0);
  EXPECT_EQ(engine.shownTable, Easy);
  EXPECT_EQ(shell.ScreenState, HiScores) << "1150 does not beat the fifth Easy score, 1264";
  EXPECT_EQ(shell.BackgroundReady, 0);
  EXPECT_EQ(GameTimerMessages(50), 0);
}

TEST_F(TickTest, TheGameOverSpinWaitsForNoBusyReel) {
  SettledGame(Hard);
  engine.gamePhase = Ending;
  engine.sequenceCount = 100;
  gameStatus.reelMotion[1] = Locked;
  GameTick(MainWindow());
  for (int k = 0; k < 5; ++k) EXPECT_NE(gameStatus.reelMotion[k], Down);
  EXPECT_EQ(gameStatus.spinSettled, 1);
}

struct EndCase {
  std::int32_t mode, score;
  std::int32_t screen;
};

const EndCase kEnds[] = {
    {Easy, 1265, NewHiScore}, {Easy, 1264, HiScores},       {Hard, 1135, NewHiScore},
    {Hard, 1134, HiScores},   {Melvoria, 1024, NewHiScore}, {Melvoria, 1023, HiScores},
};

TEST_F(TickTest, TheSequenceEndsOnTheHiScoreScreenTheScoreEarns) {
  for (const EndCase& c : kEnds) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " score " << c.score);
    SettledGame(c.mode);
    shell.ScreenState = Play;
    shell.BackgroundReady = 1;
    shell.settingsOkPressed = 1;
    engine.gamePhase = Ending;
    engine.sequenceCount = 200;
    gameStatus.score = c.score;
    ce::ValidateRect(MainWindow(), nullptr);
    StepGameOver(MainWindow());
    EXPECT_EQ(shell.ScreenState, c.screen);
    EXPECT_EQ(engine.shownTable, c.mode);
    EXPECT_EQ(shell.BackgroundReady, 0);
    EXPECT_EQ(shell.settingsOkPressed, c.screen == HiScores ? 0 : 1);
    EXPECT_TRUE(Covers(ce::host::InvalidRegion(MainWindow()), ce::RECT{0, 0, 480, 640}));
  }
}

}  // namespace
