#include <gtest/gtest.h>

#include <fstream>

#include "game/board.h"
#include "screens_world.h"

using namespace screensworld;

namespace {

class MainMenuTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override { window = StartWorld(GetParam()); }
  ce::HWND window = nullptr;
};

constexpr ce::COLORREF kMenuKey = ce::RGB(204, 153, 255);
constexpr ce::COLORREF kKey = ce::RGB(255, 204, 255);

int Pick(int small, int large) {
  return display.DisplayMode == 3 ? large : small;
}

TEST_P(MainMenuTest, ShowsItsPicturesAndKeepsOnlyTheCanvas) {
  Shot(std::string("menu-") + SizeName(GetParam()));
  EXPECT_TRUE(ShowsPicture(Pick(421, 422), 10, 16, kMenuKey));
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, kMenuKey));
  EXPECT_TRUE(ShowsPicture(Pick(419, 424), 166, 300, kMenuKey));
  EXPECT_TRUE(ShowsPicture(Pick(162, 163), 222, 1, kKey));
  EXPECT_EQ(shell.BackgroundReady, 1);
  EXPECT_NE(BitmapSlotDC(1), nullptr);
  // A later paint copies the canvas: the screen stays as it was.
  const std::uint32_t logo = At(120, 80);
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(At(120, 80), logo);
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, kMenuKey));
}

TEST_P(MainMenuTest, BuildingTheMenuEndsTheGameOnTheBoard) {
  gameStatus.gameMode = Hard;
  gameStatus.score = 5000;
  engine.gamePhase = Running;
  shell.helpShownThisSession = 1;
  keyCursor = cursorMark = 3;
  requests.playSetupPending = 0;
  shell.BackgroundReady = 0;
  InvalidateScreen(window, display.DisplayMode);
  ce::host::PumpMessages();
  EXPECT_EQ(gameStatus.gameMode, NoGame);
  EXPECT_EQ(gameStatus.score, 0);
  EXPECT_EQ(engine.gamePhase, NotStarted);
  EXPECT_EQ(shell.helpShownThisSession, 0);
  EXPECT_EQ(keyCursor, 0);
  EXPECT_EQ(cursorMark, 0);
  EXPECT_EQ(requests.playSetupPending, 1);
}

struct MenuTap {
  int x, y;
  std::int32_t screen;  // ScreenState afterwards
  std::int32_t mode;    // gameMode afterwards
  std::int32_t popup;   // PopupState afterwards
};

TEST_P(MainMenuTest, TapsChooseByArea) {
  const MenuTap taps[] = {
      {63, 154, Play, Easy, NoPopup},        {177, 181, Play, Easy, NoPopup},
      {120, 182, Play, Hard, NoPopup},       {120, 237, Play, Melvoria, NoPopup},
      {120, 238, HiScores, NoGame, NoPopup}, {177, 292, Settings, NoGame, NoPopup},
      {178, 200, MainMenu, NoGame, NoPopup}, {120, 293, MainMenu, NoGame, NoPopup},
      {120, 150, MainMenu, NoGame, NoPopup}, {100, 50, MainMenu, NoGame, About},
      {230, 136, MainMenu, NoGame, About},   {236, 316, MainMenu, NoGame, About},
      {165, 310, MainMenu, NoGame, NoPopup},
  };
  for (const MenuTap& t : taps) {
    SCOPED_TRACE(testing::Message() << "tap at " << t.x << "," << t.y);
    window = StartWorld(GetParam());
    Tap(t.x, t.y);
    EXPECT_EQ(shell.ScreenState, t.screen);
    EXPECT_EQ(gameStatus.gameMode, t.mode);
    EXPECT_EQ(shell.PopupState, t.popup);
    if (t.screen != MainMenu) {
      EXPECT_EQ(BitmapSlotDC(1), nullptr) << "the canvas is released";
    }
    if (t.screen == MainMenu && t.popup == NoPopup) {
      EXPECT_EQ(shell.BackgroundReady, 1) << "built again";
    }
  }
}

TEST_P(MainMenuTest, AboutOpensAsAPopupOverTheMenuAndTapsBelowItDoNothing) {
  Tap(100, 50);
  ASSERT_NE(shell.popupWindow, nullptr);
  ce::RECT r{};
  ce::GetWindowRect(shell.popupWindow, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, DY(38));
  EXPECT_EQ(r.right - r.left, DX(240));
  EXPECT_EQ(r.bottom - r.top, DY(240));
  // The popup covers (0, 38)-(240, 278): a tap on EASY GAME's row left of it is not there,
  // but the OPTIONS row below it is; a popup keeps the menu from acting.
  Tap(120, 290);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(shell.PopupState, About);
}

TEST_P(MainMenuTest, CloseBoxSavesAGameFreeStoreAndQuits) {
  gameStatus.gameMode = Easy;  // a game left by "Abandon": the menu built on return ends it
  shell.BackgroundReady = 0;
  InvalidateScreen(window, display.DisplayMode);
  ce::host::PumpMessages();
  Tap(230, 10);
  ce::MSG msg{};
  ASSERT_TRUE(ce::PeekMessageW(&msg, nullptr, 0, 0, ce::PM_REMOVE));
  EXPECT_EQ(msg.message, ce::WM_QUIT);
  EXPECT_EQ(msg.wParam, 0u);
  std::ifstream in(
      ce::host::DataDir() + "/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus",
      std::ios::binary);
  ASSERT_TRUE(in.good());
  GameStatus stored{};
  in.read(reinterpret_cast<char*>(&stored), sizeof stored);
  EXPECT_EQ(in.gcount(), std::streamsize(sizeof stored));
  EXPECT_EQ(stored.gameMode, NoGame);
}

TEST_P(MainMenuTest, HardKeysMarkItemsAndTheActionKeyChooses) {
  gameStatus.joystickControl = 1;
  Key(ce::VK_UP);
  EXPECT_EQ(keyCursor, 1);
  Key(ce::VK_UP);
  EXPECT_EQ(keyCursor, 1) << "up at the first item does nothing";
  Key(ce::VK_DOWN);
  Key(ce::VK_DOWN);
  EXPECT_EQ(keyCursor, 3);
  EXPECT_EQ(cursorMark, 3);
  // The marker stands left of MELVORIA at (55, 217), doubled on the large screen.
  EXPECT_TRUE(ShowsPicture(Pick(439, 440), 55, 217, kKey));
  Shot(std::string("menu-marker-") + SizeName(GetParam()));
  Key(ce::VK_DOWN);
  Key(ce::VK_DOWN);
  Key(ce::VK_DOWN);
  EXPECT_EQ(keyCursor, 5) << "down at the last item does nothing";
  EXPECT_FALSE(ShowsPicture(Pick(439, 440), 55, 217, kKey)) << "the old mark is gone";
  Key(ce::VK_UP);
  Key(ce::VK_UP);
  Key(ce::VK_UP);
  Key(ce::VK_RETURN);
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(gameStatus.gameMode, Hard);
}

TEST_P(MainMenuTest, ActionKeyOpensHiScoresAndSettingsAndDoesNothingUnmarked) {
  gameStatus.joystickControl = 1;
  Key(ce::VK_RETURN);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  for (int i = 0; i < 4; ++i) Key(ce::VK_DOWN);
  shell.settingsOkPressed = 1;
  Key(ce::VK_RETURN);
  EXPECT_EQ(shell.ScreenState, HiScores);
  EXPECT_EQ(shell.settingsOkPressed, 0);
}

TEST_P(MainMenuTest, HardKeysDoNothingWithoutJoystickControl) {
  gameStatus.joystickControl = 0;
  Key(ce::VK_DOWN);
  Key(ce::VK_RETURN);
  EXPECT_EQ(keyCursor, 0);
  EXPECT_EQ(shell.ScreenState, MainMenu);
}

TEST_P(MainMenuTest, LandscapeShowsTheNoticeAndPortraitTheMenuAgain) {
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(ce::host::ScreenPixel(2, 2), 0u) << "the black notice";
  EXPECT_EQ(shell.ScreenState, MainMenu);
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, kMenuKey));
}

INSTANTIATE_TEST_SUITE_P(BothScreens, MainMenuTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });

}  // namespace
