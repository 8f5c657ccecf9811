#include "render/play_world.h"
#include "store/registry_store.h"

using namespace playworld;

namespace {

class PlayInputTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(240); }
  void TearDown() override {
    onTick = nullptr;
    FreeBitmapSlots();
    ReleasePlaySurfaces();
  }
  void Start(int width) {
    window = StartPlayWorld(width, width * 4 / 3);
    BeginGame(window, Easy);
    Freeze(window);
    Settle();
  }
  // A quiet board: every reel at rest, the opening spin over, nothing matched.
  void Settle() {
    for (int k = 0; k < 5; ++k) {
      gameStatus.reelMotion[k] = ReelIdle;
      gameStatus.spinStep[k] = 0;
    }
    gameStatus.spinSettled = 1;
    gameStatus.matchActive = 0;
    gameStatus.lifeLoss = 0;
    engine.reelButtonsReady = 1;
    engine.comboLevel = 4;
    engine.lastCommand = 0;
  }
  ce::HWND window = nullptr;
};

TEST_F(PlayInputTest, TapsGiveTheirCommands) {
  struct Tap {
    int x, y;
    std::int32_t command;  // 0: none
  };
  const Tap taps[] = {
      {15, 74, 1},   {57, 80, 1},   {58, 80, 2},    {141, 88, 3},   {183, 74, 4},   {225, 88, 5},
      {15, 225, 6},  {100, 239, 8}, {225, 230, 10}, {164, 268, 11}, {216, 311, 11}, {23, 270, 12},
      {62, 305, 12}, {80, 273, 14}, {114, 303, 14}, {115, 273, 13}, {148, 303, 13}, {14, 80, 0},
      {226, 80, 0},  {30, 73, 0},   {30, 89, 0},    {100, 240, 0},  {217, 300, 0},  {149, 290, 0},
      {63, 290, 0},  {120, 160, 0}, {188, 20, 0},
  };
  for (const Tap& t : taps) {
    SCOPED_TRACE(testing::Message() << t.x << "," << t.y);
    Settle();
    engine.buttonPressed = 0;
    PlayPointerDown(window, t.x, t.y);
    EXPECT_EQ(engine.lastCommand, t.command);
    EXPECT_EQ(engine.comboLevel, t.command ? 1 : 4);
    // Arrows are charged their move cost, whether or not the reel may move.
    EXPECT_EQ(gameStatus.lifeLoss, t.command >= 1 && t.command <= 10 ? engine.moveCost : 0);
    EXPECT_EQ(engine.buttonPressed, 1);
    EXPECT_EQ(shell.dragArmed, 1);
    EXPECT_EQ(shell.dragStartY, t.y);
    PlayPointerUp(window, t.x, t.y);
    EXPECT_EQ(shell.dragStartY, 0);
    EXPECT_EQ(shell.dragArmed, 1);
  }
}

TEST_F(PlayInputTest, ArrowOfAMovingReelIsChargedButDoesNotMove) {
  gameStatus.reelMotion[2] = Up;
  engine.moveCost = 2;
  PlayPointerDown(window, 120, 230);
  EXPECT_EQ(gameStatus.reelMotion[2], Up);
  EXPECT_EQ(gameStatus.lifeLoss, 2);
}

TEST_F(PlayInputTest, DragsStartOneMoveAfterTwoPixels) {
  struct Drag {
    int x, startY, moveX, moveY;
    std::uint8_t settled;
    int reel;  // the reel that moves, -1 none
    std::int32_t motion;
  };
  const Drag drags[] = {
      {30, 150, 30, 151, 1, -1, 0},   {30, 150, 30, 152, 1, 0, Down}, {30, 150, 30, 148, 1, 0, Up},
      {30, 150, 30, 149, 1, -1, 0},   {57, 150, 57, 160, 1, 1, Down}, {150, 150, 150, 160, 0, -1, 0},
      {70, 150, 70, 160, 0, 1, Down}, {120, 150, 230, 160, 1, -1, 0}, {30, 150, 30, 224, 1, -1, 0},
      {224, 200, 224, 100, 1, 4, Up}, {120, 150, 14, 160, 1, -1, 0},
  };
  for (const Drag& d : drags) {
    SCOPED_TRACE(testing::Message() << d.x << "," << d.startY << " -> " << d.moveX << "," << d.moveY);
    Settle();
    gameStatus.spinSettled = d.settled;
    PlayPointerDown(window, d.x, d.startY);
    PlayPointerMove(window, d.moveX, d.moveY);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(gameStatus.reelMotion[k], k == d.reel ? d.motion : ReelIdle) << k;
    EXPECT_EQ(shell.dragArmed, d.reel < 0 ? 1 : 0);
    EXPECT_EQ(gameStatus.lifeLoss, d.reel < 0 ? 0 : engine.moveCost);
    EXPECT_EQ(engine.comboLevel, d.reel < 0 ? 4 : 1);
    EXPECT_EQ(engine.lastCommand, 0);  // a drag gives no command
  }
}

TEST_F(PlayInputTest, DragWaitsForItsReelAndMovesItOnce) {
  gameStatus.reelMotion[0] = Down;  // still moving
  PlayPointerDown(window, 30, 150);
  PlayPointerMove(window, 30, 160);
  EXPECT_EQ(shell.dragArmed, 1);
  EXPECT_EQ(gameStatus.lifeLoss, 0);
  gameStatus.reelMotion[0] = ReelIdle;  // come to rest: the held drag starts now
  PlayPointerMove(window, 30, 161);
  EXPECT_EQ(gameStatus.reelMotion[0], Down);
  gameStatus.reelMotion[0] = ReelIdle;
  PlayPointerMove(window, 30, 200);
  EXPECT_EQ(gameStatus.reelMotion[0], ReelIdle);  // spent until the next pointer-down
  PlayPointerUp(window, 30, 200);
  PlayPointerDown(window, 30, 150);
  PlayPointerMove(window, 30, 140);
  EXPECT_EQ(gameStatus.reelMotion[0], Up);
  EXPECT_EQ(gameStatus.lifeLoss, 2 * engine.moveCost);

  for (auto block : {0, 1, 2, 3}) {
    Settle();
    PlayPointerDown(window, 30, 150);
    if (block == 0) engine.reelButtonsReady = 0;
    if (block == 1) gameStatus.matchActive = 1;
    if (block == 2) gameStatus.spinStep[0] = 3;
    if (block == 3) shell.dragArmed = 0;
    PlayPointerMove(window, 30, 160);
    EXPECT_EQ(gameStatus.reelMotion[0], ReelIdle) << block;
  }
}

TEST_F(PlayInputTest, DragPlaysTheReelMoveSound) {
  LoadSoundBank();
  gameStatus.soundOn = 1;
  gameStatus.volume = 80;
  auto lastDevice = [] {
    const auto writes = ce::host::WaveWrites();
    return writes.empty() ? -1 : writes.back().device;
  };
  PlaySoundEvent(2);
  const int reelMove = lastDevice();
  ASSERT_NE(reelMove, -1);
  PlaySoundEvent(9);
  ASSERT_NE(lastDevice(), reelMove);
  const std::size_t before = ce::host::WaveWrites().size();
  PlayPointerDown(window, 150, 120);
  PlayPointerMove(window, 150, 100);
  EXPECT_EQ(ce::host::WaveWrites().size(), before + 1);
  EXPECT_EQ(lastDevice(), reelMove);
  CloseSoundDevices();
}

TEST_F(PlayInputTest, KeysMoveTheCursorAndGiveCommands) {
  struct Key {
    std::int32_t cursor;
    ce::UINT key;
    std::int32_t cursorAfter;
    std::int32_t command;
  };
  const Key keys[] = {
      {0, ce::VK_RETURN, 1, 0}, {0, ce::VK_LEFT, 1, 0},    {0, ce::VK_RIGHT, 1, 0},  {0, ce::VK_UP, 1, 0},
      {0, ce::VK_DOWN, 1, 0},   {1, ce::VK_RETURN, 1, 11}, {1, ce::VK_LEFT, 1, 0},   {5, ce::VK_RIGHT, 5, 0},
      {3, ce::VK_LEFT, 2, 0},   {3, ce::VK_RIGHT, 4, 0},   {2, ce::VK_UP, 2, 2},     {2, ce::VK_DOWN, 2, 7},
      {5, ce::VK_DOWN, 5, 10},  {3, ce::VK_SPACE, 3, 0},   {0, ce::VK_ESCAPE, 0, 0},
  };
  for (const Key& k : keys) {
    SCOPED_TRACE(testing::Message() << k.cursor << " key " << k.key);
    Settle();
    keyCursor = cursorMark = k.cursor;
    ce::ValidateRect(window, nullptr);
    PlayKeyUp(k.key, window);
    EXPECT_EQ(keyCursor, k.cursorAfter);
    EXPECT_EQ(cursorMark, k.cursorAfter);
    EXPECT_EQ(engine.lastCommand, k.command);
    const bool reelMove = k.command >= 1 && k.command <= 10;
    EXPECT_EQ(gameStatus.lifeLoss, reelMove ? engine.moveCost : 0);
    const bool marked = k.cursorAfter != k.cursor;
    if (marked) {
      // Both arrow rows are asked to be repainted for the marks.
      const auto region = ce::host::InvalidRegion(window);
      auto covers = [&](int x, int y) {
        for (const ce::RECT& r : region)
          if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
        return false;
      };
      EXPECT_TRUE(covers(ScaleX(15), ScaleY(74)) && covers(ScaleX(224), ScaleY(88)));
      EXPECT_TRUE(covers(ScaleX(15), ScaleY(225)) && covers(ScaleX(224), ScaleY(239)));
    }
  }
}

TEST_F(PlayInputTest, ReelKeysWaitForTheReelAndTheBoard) {
  keyCursor = cursorMark = 2;
  gameStatus.reelMotion[1] = Down;
  PlayKeyUp(ce::VK_UP, window);
  gameStatus.reelMotion[1] = ReelIdle;
  gameStatus.matchActive = 1;
  PlayKeyUp(ce::VK_DOWN, window);
  EXPECT_EQ(engine.lastCommand, 0);
  EXPECT_EQ(gameStatus.lifeLoss, 0);
  // Not spinning is left to the command: the key is charged all the same.
  gameStatus.matchActive = 0;
  gameStatus.spinStep[1] = 2;
  PlayKeyUp(ce::VK_UP, window);
  EXPECT_EQ(engine.lastCommand, 2);
  EXPECT_EQ(gameStatus.reelMotion[1], ReelIdle);
  EXPECT_EQ(gameStatus.lifeLoss, engine.moveCost);
}

TEST_F(PlayInputTest, LargeScreenTapsAreHalved) {
  Start(480);
  ce::host::StylusDown(400, 580);  // logical (200, 290): Spin All
  ce::host::StylusUp(400, 580);
  ce::host::PumpMessages();
  EXPECT_EQ(engine.lastCommand, SpinAll);
}

// The answer a player gives to the box that a tap opens, and what the box said.
struct Asked {
  std::u16string text;  // what the box shows
  int ticksWhileOpen = 0;
};

Asked TapAndAnswer(int x, int y, ce::UINT answerKey) {
  Asked asked;
  onTick = [&asked, answerKey] {
    ce::HWND box = ce::host::CurrentMessageBox();
    if (box == nullptr) return;
    if (++asked.ticksWhileOpen == 3) {
      char16_t text[128] = {};
      ce::GetWindowTextW(box, text, 128);
      asked.text = text;
      ce::host::KeyDown(answerKey);
      ce::host::KeyUp(answerKey);
    }
  };
  ce::host::StylusDown(ScaleX(x), ScaleY(y));
  ce::host::StylusUp(ScaleX(x), ScaleY(y));
  ce::host::AdvanceTime(200);
  ce::host::PumpMessages();
  onTick = nullptr;
  return asked;
}

TEST_F(PlayInputTest, AbandonAnsweredNoRepairsTheTopAreaAndPlaysOn) {
  ce::SetTimer(window, kGameTimer, 2, nullptr);
  // Spoil the area under the box, as the box itself would.
  ce::HDC dc = ce::GetDC(window);
  FillBox(dc, 1, 2, 3, 14, 35, 226, 89);
  ce::ReleaseDC(window, dc);
  const Asked asked = TapAndAnswer(215, 20, ce::VK_ESCAPE);
  EXPECT_EQ(asked.text, u"Do you want to abandon this game and go back to the main menu?");
  EXPECT_GE(asked.ticksWhileOpen, 3);  // the game went on ticking under the box
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(gameStatus.gameMode, Easy);
  EXPECT_EQ(topAreaDirty, 0);  // served by the paint that followed
  EXPECT_TRUE(ShowsPicture(Pic(302, 326), 15, 74, 42, 15));
  EXPECT_EQ(CountColour(Rgb(1, 2, 3), 14, 35, 226, 89), 0);
  EXPECT_GT(CountColour(Rgb(29, 136, 3), 30, 34, 210, 35), 0);  // the summary's rule
  const int before = ticks;
  ce::host::AdvanceTime(20);
  EXPECT_GT(ticks, before);
}

TEST_F(PlayInputTest, AbandonAnsweredYesGoesBackToTheMainMenu) {
  ce::SetTimer(window, kGameTimer, 2, nullptr);
  shell.settingsOkPressed = 1;
  shell.BackgroundReady = 1;
  const Asked asked = TapAndAnswer(224, 30, ce::VK_RETURN);
  EXPECT_EQ(asked.text, u"Do you want to abandon this game and go back to the main menu?");
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(shell.BackgroundReady, 0);
  EXPECT_EQ(shell.settingsOkPressed, 0);
  EXPECT_EQ(gameStatus.gameMode, 0);
  const int before = ticks;
  ce::host::AdvanceTime(50);
  EXPECT_EQ(ticks, before);  // the game timer is stopped
}

TEST_F(PlayInputTest, ExitAnsweredNoPlaysOnAndYesStoresTheGameAndQuits) {
  ce::SetTimer(window, kGameTimer, 2, nullptr);
  Asked asked = TapAndAnswer(190, 13, ce::VK_ESCAPE);
  EXPECT_EQ(asked.text, u"Do you want to exit the game but be able to continue another time?");
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(topAreaDirty, 0);

  gameStatus.score = 4242;
  asked = TapAndAnswer(206, 30, ce::VK_RETURN);
  EXPECT_EQ(asked.text, u"Do you want to exit the game but be able to continue another time?");
  const int before = ticks;
  ce::host::AdvanceTime(50);
  EXPECT_EQ(ticks, before);
  // The running game is in the store, so the next start resumes it.
  ce::HKEY key = nullptr;
  ASSERT_EQ(ce::RegOpenKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, ce::KEY_ALL_ACCESS, &key),
            ce::ERROR_SUCCESS);
  GameStatus stored{};
  ce::DWORD size = sizeof stored;
  EXPECT_EQ(
      ce::RegQueryValueExW(key, u"GameStatus", nullptr, nullptr, reinterpret_cast<ce::BYTE*>(&stored), &size),
      ce::ERROR_SUCCESS);
  ce::RegCloseKey(key);
  EXPECT_EQ(stored.gameMode, Easy);
  EXPECT_EQ(stored.score, 4242);
}

}  // namespace
