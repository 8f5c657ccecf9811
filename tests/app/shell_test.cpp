// The application shell on a fresh device: start-up and its refusals, one
// running copy, the message loop's key table, the main window's pointer and
// key handling, the popup window's taps and closes, the landscape notice.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/popup.h"
#include "app/program_state.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "app/startup.h"
#include "device/world.h"
#include "game/state.h"
#include "platform/device.h"
#include "platform/host.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/menu_layout.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace fs = std::filesystem;

namespace {

// A window of the test's own that sees what the program's loop hands it.
struct WatcherLog {
  std::vector<std::u16string> boxTexts;
  std::vector<std::u16string> boxCaptions;
  std::vector<ce::UINT> keyDowns;
  std::vector<ce::WORD> commands;
};
WatcherLog seen;

constexpr ce::UINT kReadBox = ce::WM_USER;           // read the message box that is up and answer it
constexpr ce::UINT kTypeCtrlKeys = ce::WM_USER + 1;  // take the focus and press Ctrl+Q, Ctrl+A, Ctrl+B

ce::LRESULT WatcherProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  switch (message) {
    case kReadBox:
      if (ce::HWND box = ce::host::CurrentMessageBox()) {
        char16_t text[256] = {};
        ce::GetWindowTextW(box, text, 256);
        seen.boxTexts.push_back(text);
        seen.boxCaptions.push_back(box->title);
        ce::host::KeyDown(ce::VK_RETURN);
        ce::host::KeyUp(ce::VK_RETURN);
      }
      return 0;
    case kTypeCtrlKeys:
      ce::SetFocus(window);
      ce::host::KeyDown(ce::VK_CONTROL);
      for (ce::UINT key : {0x51u, 0x41u, 0x42u}) {
        ce::host::KeyDown(key);
        ce::host::KeyUp(key);
      }
      ce::host::KeyUp(ce::VK_CONTROL);
      return 0;
    case ce::WM_KEYDOWN:
      seen.keyDowns.push_back(static_cast<ce::UINT>(wParam));
      return 0;
    case ce::WM_COMMAND:
      seen.commands.push_back(ce::LOWORD(wParam));
      return 0;
    default:
      return ce::DefWindowProcW(window, message, wParam, lParam);
  }
}

struct Screen {
  int width, height, dpi;
};
constexpr Screen kSmall{240, 320, 96};
constexpr Screen kLarge{480, 640, 192};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-shell-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    if (const char* old = std::getenv("MELVORIA_DATA_DIR")) oldData_ = old;
    ::setenv("MELVORIA_DATA_DIR", (root_ / "data").c_str(), 1);
  }
  void TearDown() override {
    FreeBitmapSlots();
    ReleaseMainWindowIcon();
    ce::host::Stop();
    if (oldData_.empty())
      ::unsetenv("MELVORIA_DATA_DIR");
    else
      ::setenv("MELVORIA_DATA_DIR", oldData_.c_str(), 1);
    fs::remove_all(root_);
  }

  // A fresh device and program: every program-wide value as at process start.
  void Fresh(Screen screen) {
    FreeBitmapSlots();
    ce::host::Options options;
    options.screenWidth = screen.width;
    options.screenHeight = screen.height;
    options.dpi = screen.dpi;
    ce::host::Start(options);
    ResetProgramState();
    seen = WatcherLog{};
    ce::WNDCLASSW wc{};
    wc.lpfnWndProc = WatcherProc;
    wc.lpszClassName = u"Watcher";
    ce::RegisterClassW(&wc);
    watcher_ =
        ce::CreateWindowExW(0, u"Watcher", u"", ce::WS_VISIBLE, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
  }

  // Start-up as the program entry runs it, message boxes read and answered.
  bool Boot(Screen screen) {
    Fresh(screen);
    ce::PostMessageW(watcher_, kReadBox, 0, 0);
    bool up = InitializeApplication(ce::GetModuleHandleW(nullptr), ce::SW_SHOW);
    ce::host::PumpMessages();
    return up;
  }

  // Start-up with help off, on the painted main menu.
  void BootToMenu(Screen screen) {
    ASSERT_TRUE(Boot(screen));
    gameStatus.helpEnabled = 0;
  }

  // A popup page opened as its callers open it.
  ce::HWND OpenPopup(std::int32_t page, std::int32_t mode = Easy) {
    shell.PopupState = page;
    shell.popupControls = 0;
    shell.helpPage = 0;
    shell.pendingMode = mode;
    if (page == ExportCode)
      CreatePopup(shell.instance, 0, 140, 240, 180);
    else
      CreatePopup(shell.instance, 0, 38, 240, 240);
    ce::host::PumpMessages();
    return shell.popupWindow;
  }

  fs::path root_;
  std::string oldData_;
  ce::HWND watcher_ = nullptr;
};

int MelvoriaWindows() {
  int n = 0;
  for (ce::HWND w : ce::host::TopLevelWindows())
    if (w->className == kMainWindowClass) ++n;
  return n;
}

TEST_F(ShellTest, StartsFullScreenOnBothPortraitScreens) {
  struct Case {
    Screen screen;
    std::int32_t mode;
  };
  for (Case c : {Case{kSmall, 1}, Case{kLarge, 3}}) {
    SCOPED_TRACE(c.screen.width);
    ASSERT_TRUE(Boot(c.screen));
    EXPECT_EQ(display.DisplayMode, c.mode);
    EXPECT_EQ(display.dpiX, c.screen.dpi);
    EXPECT_EQ(display.dpiY, c.screen.dpi);
    ASSERT_NE(shell.mainWindow, nullptr);
    EXPECT_EQ(ce::FindWindowW(u"Melvoria", u"Melvoria"), shell.mainWindow);
    // Over the task bar: the whole screen.
    ce::RECT r{};
    ce::GetWindowRect(shell.mainWindow, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, c.screen.width);
    EXPECT_EQ(r.bottom, c.screen.height);
    const auto& bars = ce::host::Shell();
    EXPECT_TRUE(bars.taskBarHidden && bars.sipButtonHidden && bars.startIconHidden);
    EXPECT_EQ(bars.lastFullScreenWindow, shell.mainWindow);
    // First run: the menu, the default volume on the device.
    EXPECT_EQ(shell.ScreenState, MainMenu);
    EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, 0xCCCCu);
    for (int id = 1; id <= kSounds; ++id) EXPECT_NE(soundBank.devices[std::size_t(id)], nullptr) << id;
    EXPECT_TRUE(seen.boxTexts.empty());
    EXPECT_EQ(TaskBarAllowance(c.mode), c.mode == 1 ? 26 : 52);
  }
}

TEST_F(ShellTest, RefusesLandscapeAndOtherScreensWithAWarning) {
  struct Case {
    Screen screen;
    const char16_t* text;
  };
  const Case cases[] = {
      {{320, 240, 96},
       u"Horizontal mode (320x240) is not supported.\nPlease switch back to the vertical mode an try again! "
       u"(240x320)"},
      {{640, 480, 192},
       u"Horizontal mode (640x480) is not supported.\nPlease switch back to the vertical mode an try again! "
       u"(480x640)"},
      {{240, 400, 96}, u"This screen is not supported.\n240x320 and 480x640 screens are only supported!"},
      {{480, 800, 192}, u"This screen is not supported.\n240x320 and 480x640 screens are only supported!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.screen.width) + "x" + std::to_string(c.screen.height));
    EXPECT_FALSE(Boot(c.screen));
    ASSERT_EQ(seen.boxTexts.size(), 1u);
    EXPECT_EQ(seen.boxTexts[0], c.text);
    EXPECT_EQ(seen.boxCaptions[0], u"Warning!");
    EXPECT_EQ(MelvoriaWindows(), 0);
    // The store is not read; the sounds were loaded before the screen was looked at.
    EXPECT_EQ(gameStatus.initialised, 0);
    EXPECT_NE(soundBank.devices[1], nullptr);
  }
}

TEST_F(ShellTest, ASecondStartBringsTheRunningCopyForward) {
  Fresh(kSmall);
  RegisterMainWindowClass(nullptr, kMainWindowClass);
  ce::HWND first = ce::CreateWindowExW(0, kMainWindowClass, kMainWindowClass, ce::WS_VISIBLE,
                                       ce::CW_USEDEFAULT, ce::CW_USEDEFAULT, ce::CW_USEDEFAULT,
                                       ce::CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
  ce::RECT before{};
  ce::GetWindowRect(first, &before);
  ce::PostMessageW(watcher_, kReadBox, 0, 0);
  EXPECT_FALSE(InitializeApplication(ce::GetModuleHandleW(nullptr), ce::SW_SHOW));
  ce::host::PumpMessages();
  EXPECT_EQ(MelvoriaWindows(), 1);
  EXPECT_TRUE(seen.boxTexts.empty());
  EXPECT_EQ(ce::host::Shell().foregroundWindow, first);
  EXPECT_EQ(ce::host::Shell().lastFullScreenWindow, first);
  EXPECT_TRUE(ce::host::Shell().taskBarHidden);
  // Moved to its own rectangle's left and top, right and bottom given as the size.
  ce::RECT after{};
  ce::GetWindowRect(first, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right, before.left + before.right);
  EXPECT_EQ(after.bottom, before.top + before.bottom);
  EXPECT_EQ(gameStatus.initialised, 0);
}

TEST_F(ShellTest, TheMessageLoopSwallowsCtrlQAndCtrlA) {
  Fresh(kLarge);
  ce::PostMessageW(watcher_, kTypeCtrlKeys, 0, 0);
  static char16_t noCommandLine[1] = {0};
  // The run ends when the queued input is used up and the device closes the program.
  EXPECT_EQ(WinMain(ce::GetModuleHandleW(nullptr), nullptr, noCommandLine, ce::SW_SHOW), 0);
  // Table 3 turned the two key-downs into commands nobody acts on; Ctrl+B went through.
  EXPECT_EQ(seen.keyDowns, (std::vector<ce::UINT>{ce::VK_CONTROL, 0x42u}));
  EXPECT_EQ(seen.commands, (std::vector<ce::WORD>{1, 40003}));
}

TEST_F(ShellTest, TapsAreHalvedOnTheLargeScreen) {
  // Device (300, 400) is logical (150, 200), the menu's Hard item, on the large
  // screen; on the small screen the same logical point is device (150, 200).
  struct Case {
    Screen screen;
    int x, y;
  };
  for (Case c : {Case{kLarge, 300, 400}, Case{kSmall, 150, 200}}) {
    SCOPED_TRACE(c.screen.width);
    BootToMenu(c.screen);
    ce::host::StylusDown(c.x, c.y);
    ce::host::StylusUp(c.x, c.y);
    ce::host::PumpMessages();
    EXPECT_EQ(shell.ScreenState, Play);
    EXPECT_EQ(gameStatus.gameMode, Hard);
  }
}

TEST_F(ShellTest, HardKeysWorkOnlyWhenSwitchedOn) {
  BootToMenu(kLarge);
  ce::host::KeyDown(ce::VK_DOWN);
  ce::host::KeyUp(ce::VK_DOWN);
  ce::host::PumpMessages();
  EXPECT_EQ(keyCursor, 0);
  gameStatus.joystickControl = 1;
  ce::host::KeyDown(ce::VK_DOWN);
  ce::host::KeyUp(ce::VK_DOWN);
  ce::host::PumpMessages();
  EXPECT_EQ(keyCursor, 1);
}

TEST_F(ShellTest, ATapOnTheMainWindowBringsAnOpenPopupBack) {
  BootToMenu(kLarge);
  ce::HWND popup = OpenPopup(About);
  ASSERT_NE(popup, nullptr);
  ce::ShowWindow(popup, ce::SW_HIDE);
  ce::host::PumpMessages();
  ASSERT_FALSE(popup->visible);
  // Below the popup, on the main menu's Settings item: it is shown again, and
  // the menu takes no tap while it is open.
  ce::host::StylusDown(240, 580);
  ce::host::StylusUp(240, 580);
  ce::host::PumpMessages();
  EXPECT_TRUE(popup->visible);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(shell.PopupState, About);
}

TEST_F(ShellTest, EachPageClosesAsItsTableSays) {
  enum How { Ok, CloseBox, ActionKey };
  struct Case {
    const char* name;
    std::int32_t page;
    std::int32_t mode;
    How how;
    std::uint8_t joystick;
    std::int32_t screenBefore;
    bool closes;
    std::int32_t screenAfter;
    bool rebuilds;  // BackgroundReady cleared
    std::int32_t gameModeAfter;
  };
  const Case cases[] = {
      {"About OK", About, 0, Ok, 0, MainMenu, true, MainMenu, true, 0},
      {"About close box", About, 0, CloseBox, 0, MainMenu, true, MainMenu, true, 0},
      {"About action key, no hard keys", About, 0, ActionKey, 0, MainMenu, false, MainMenu, false, 0},
      {"About action key", About, 0, ActionKey, 1, MainMenu, true, MainMenu, false, 0},
      {"export OK", ExportCode, 0, Ok, 0, HiScores, true, HiScores, false, 0},
      {"export close box", ExportCode, 0, CloseBox, 0, HiScores, true, HiScores, false, 0},
      {"export action key", ExportCode, 0, ActionKey, 1, HiScores, false, HiScores, false, 0},
      {"Help OK", Help, Hard, Ok, 0, MainMenu, true, Play, true, Hard},
      {"Help close box", Help, Melvoria, CloseBox, 0, MainMenu, true, MainMenu, true, 0},
      {"Help action key", Help, Easy, ActionKey, 1, MainMenu, false, MainMenu, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BootToMenu(kLarge);
    gameStatus.helpEnabled = 1;
    gameStatus.joystickControl = c.joystick;
    if (c.screenBefore == HiScores) {
      shell.ScreenState = HiScores;
      shell.BackgroundReady = 0;
      InvalidateScreen(shell.mainWindow, display.DisplayMode);
      ce::host::PumpMessages();
    }
    ce::HWND popup = OpenPopup(c.page, c.mode);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(shell.popupControls, 1) << "the page made its controls";
    shell.BackgroundReady = 1;  // as the screen under it left it
    switch (c.how) {
      case Ok:
        ce::PostMessageW(popup, ce::WM_COMMAND, OkButtonId, 0);
        break;
      case CloseBox:
        ce::PostMessageW(popup, ce::WM_LBUTTONDOWN, 0, ce::MAKELPARAM(450, 20));
        break;
      case ActionKey:
        ce::PostMessageW(popup, ce::WM_KEYUP, ce::VK_RETURN, 0);
        break;
    }
    if (c.closes) {
      // Before the main window repaints: what the close itself left.
      ce::MSG msg;
      while (ce::PeekMessageW(&msg, nullptr, 0, 0, ce::PM_REMOVE) && msg.message != ce::WM_PAINT)
        ce::DispatchMessageW(&msg);
      EXPECT_EQ(shell.BackgroundReady, c.rebuilds ? 0 : 1);
    }
    ce::host::PumpMessages();
    EXPECT_EQ(ce::IsWindow(popup) != 0, !c.closes);
    EXPECT_EQ(shell.PopupState, c.closes ? NoPopup : c.page);
    if (c.closes) {
      EXPECT_EQ(shell.popupControls, 0);
    }
    EXPECT_EQ(shell.ScreenState, c.screenAfter);
    EXPECT_EQ(gameStatus.gameMode, c.gameModeAfter);
    EXPECT_EQ(shell.helpShownThisSession, c.page == Help && c.how == Ok ? 1 : 0);
    if (c.closes) {
      EXPECT_TRUE(ce::host::InvalidRegion(shell.mainWindow).empty()) << "the main window repainted";
    }
    if (c.closes && c.rebuilds) {
      EXPECT_EQ(ce::GetFocus(), shell.mainWindow);
    }
  }
}

TEST_F(ShellTest, PopupTapsMeetTheCloseBoxCheckBoxAndDemonstration) {
  BootToMenu(kLarge);
  gameStatus.helpEnabled = 1;
  ce::HWND popup = OpenPopup(Help, Easy);
  ASSERT_NE(popup, nullptr);
  // Device coordinates, halved: (434, 20) is 217 and (450, 46) is 23, just outside.
  PopupPointerDown(popup, 434, 20);
  PopupPointerDown(popup, 450, 46);
  EXPECT_EQ(shell.PopupState, Help);

  PopupPointerDown(popup, 40, 440);  // (20, 220): "Show this window again"
  EXPECT_EQ(gameStatus.helpEnabled, 0);
  PopupPointerDown(popup, 40, 440);
  EXPECT_EQ(gameStatus.helpEnabled, 1);
  gameStatus.helpEnabled = 7;  // anything but 1 becomes 1
  PopupPointerDown(popup, 40, 440);
  EXPECT_EQ(gameStatus.helpEnabled, 1);

  // The demonstration replays only from its last step: 4 for Easy, 2 for the others.
  struct Step {
    std::int32_t mode, page, after;
  };
  for (Step s :
       {Step{Easy, 3, 3}, Step{Easy, 4, 0}, Step{Hard, 2, 0}, Step{Hard, 1, 1}, Step{Melvoria, 2, 0}}) {
    SCOPED_TRACE(std::to_string(s.mode) + "/" + std::to_string(s.page));
    ce::host::PumpMessages();
    shell.pendingMode = s.mode;
    shell.helpPage = s.page;
    PopupPointerDown(popup, 200, 200);  // (100, 100)
    EXPECT_EQ(shell.helpPage, s.after);
    // The content area waits for its repaint.
    auto region = ce::host::InvalidRegion(popup);
    ASSERT_EQ(region.size(), 1u);
    EXPECT_EQ(region[0].left, 20);
    EXPECT_EQ(region[0].top, 56);
    EXPECT_EQ(region[0].right, 460);
    EXPECT_EQ(region[0].bottom, 412);
  }

  ce::host::PumpMessages();
  PopupPointerDown(popup, 450, 20);  // (225, 10)
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_FALSE(ce::IsWindow(popup));
}

TEST_F(ShellTest, TheHelpTimerRepaintsTheDemonstrationUntilHelpCloses) {
  BootToMenu(kLarge);
  gameStatus.helpEnabled = 1;
  ce::HWND popup = OpenPopup(Help, Easy);
  ASSERT_NE(popup, nullptr);
  std::int32_t page = shell.helpPage;
  ce::host::AdvanceTime(10000);
  ce::host::PumpMessages();
  EXPECT_EQ(shell.helpPage, page + 1) << "one step per ten seconds";
  ce::PostMessageW(popup, ce::WM_LBUTTONDOWN, 0, ce::MAKELPARAM(450, 20));
  ce::host::PumpMessages();
  // The popup's timer is gone with it; the main window's timer was never started.
  ce::host::AdvanceTime(20000);
  ce::host::PumpMessages();
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(engine.gamePhase, NotStarted);
}

TEST_F(ShellTest, TurningTheDeviceWhileHelpIsOpenBringsTheMenuBack) {
  BootToMenu(kLarge);
  gameStatus.helpEnabled = 1;
  ce::host::StylusDown(240, 333);  // Easy: the Help popup comes first
  ce::host::StylusUp(240, 333);
  ce::host::PumpMessages();
  ASSERT_EQ(shell.PopupState, Help);
  ce::host::Rotate();
  ce::host::PumpMessages();
  EXPECT_EQ(shell.PopupState, NoPopup) << "Help closes for the landscape notice";
  ce::host::Rotate();
  ce::host::PumpMessages();
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(gameStatus.gameMode, 0);
  // The whole menu is there again, not what the turned screen left.
  int purple = 0, samples = 0;
  for (int y = 0; y < 640; y += 16)
    for (int x = 0; x < 480; x += 16) {
      std::uint32_t p = ce::host::ScreenPixel(x, y);
      int r = int(p >> 16 & 255), g = int(p >> 8 & 255), b = int(p & 255);
      ++samples;
      if (b >= 60 && r > g + 20 && b > r) ++purple;
    }
  EXPECT_GT(purple * 2, samples);
}

TEST_F(ShellTest, TheLandscapeNoticeCoversTheTurnedScreen) {
  struct Case {
    Screen screen;
    std::int32_t mode;
    int textTop, textBottom;
  };
  for (Case c : {Case{{320, 240, 96}, 2, 100, 140}, Case{{640, 480, 192}, 4, 200, 280}}) {
    SCOPED_TRACE(c.mode);
    Fresh(c.screen);
    ReadScreenDpi();
    display.DisplayMode = c.mode;
    ce::HDC dc = ce::CreateCompatibleDC(nullptr);
    ce::HBITMAP bitmap = ce::CreateCompatibleBitmap(dc, c.screen.width, c.screen.height);
    ce::HGDIOBJ old = ce::SelectObject(dc, bitmap);
    ce::RECT all{0, 0, c.screen.width, c.screen.height};
    ce::HBRUSH grey = ce::CreateSolidBrush(ce::RGB(20, 140, 60));
    ce::FillRect(dc, &all, grey);
    ce::DeleteObject(grey);
    SelectUiFont(u"Tahoma", 12, 400);
    ce::SelectObject(dc, CurrentUiFont());
    DrawLandscapeNotice(dc);
    int white = 0, left = c.screen.width, right = 0;
    for (int y = 0; y < c.screen.height; ++y)
      for (int x = 0; x < c.screen.width; ++x) {
        ce::COLORREF p = ce::GetPixel(dc, x, y);
        if (p == ce::RGB(20, 140, 60)) ADD_FAILURE() << "not covered at " << x << "," << y;
        if (p == ce::RGB(255, 255, 255)) {
          ++white;
          EXPECT_TRUE(y >= c.textTop && y < c.textBottom) << "text at " << x << "," << y;
          left = std::min(left, x);
          right = std::max(right, x);
        }
        if (::testing::Test::HasFailure()) break;
      }
    EXPECT_GT(white, 100);
    // Centred.
    EXPECT_NEAR(left + right, c.screen.width, c.screen.width / 20);
    ce::SelectObject(dc, old);
    ce::DeleteObject(bitmap);
    ce::DeleteDC(dc);
  }
}

TEST_F(ShellTest, PortraitScreensGetNoNoticeAndUnknownSizesKeepTheMode) {
  Fresh(kSmall);
  ReadScreenDpi();
  display.DisplayMode = 1;
  ce::HDC dc = ce::CreateCompatibleDC(nullptr);
  ce::HBITMAP bitmap = ce::CreateCompatibleBitmap(dc, 240, 320);
  ce::HGDIOBJ old = ce::SelectObject(dc, bitmap);
  ce::RECT all{0, 0, 240, 320};
  ce::HBRUSH grey = ce::CreateSolidBrush(ce::RGB(20, 140, 60));
  ce::FillRect(dc, &all, grey);
  ce::DeleteObject(grey);
  DrawLandscapeNotice(dc);
  EXPECT_EQ(ce::GetPixel(dc, 0, 0), ce::RGB(20, 140, 60));
  EXPECT_EQ(ce::GetPixel(dc, 120, 120), ce::RGB(20, 140, 60));
  ce::SelectObject(dc, old);
  ce::DeleteObject(bitmap);
  ce::DeleteDC(dc);

  ce::host::Rotate();  // 320 x 240
  UpdateDisplayMode();
  EXPECT_EQ(display.DisplayMode, 2);
  ce::host::Rotate();
  UpdateDisplayMode();
  EXPECT_EQ(display.DisplayMode, 1);

  Fresh({240, 400, 96});
  display.DisplayMode = 1;
  UpdateDisplayMode();
  EXPECT_EQ(display.DisplayMode, 1);
}

// The stored GameStatus, or an empty record with gameMode -1 when there is none.
GameStatus StoredStatus(const fs::path& root) {
  GameStatus g{};
  g.gameMode = -1;
  const fs::path key = root / "data/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  std::ifstream in(key / "GameStatus", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() == sizeof g) std::memcpy(&g, bytes.data(), sizeof g);
  return g;
}

// The first stored Easy table's best score, or -1 when there is none.
std::int32_t StoredEasyBest(const fs::path& root) {
  std::ifstream in(root / "data/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/Prefs",
                   std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  HiScoreTable t{};
  if (bytes.size() != sizeof t) return -1;
  std::memcpy(&t, bytes.data(), sizeof t);
  return t.entries[0].score;
}

void Tap(int x, int y) {
  ce::host::StylusDown(x, y);
  ce::host::StylusUp(x, y);
  ce::host::PumpMessages();
}

// A tap that opens a question, answered Yes (and the box after it OK) by the
// watcher: the question's own loop takes the messages posted before it.
void TapAndAnswer(ce::HWND watcher, int x, int y, int boxes) {
  for (int i = 0; i < boxes; ++i) ce::PostMessageW(watcher, kReadBox, 0, 0);
  MainPointerDown(shell.mainWindow, x, y);
  MainPointerUp(shell.mainWindow, x, y);
  ce::host::PumpMessages();
}

// A change worth keeping is stored when it is made, not at the next save point.
TEST_F(ShellTest, ChangesAreStoredWhenTheyAreMade) {
  BootToMenu(kLarge);
  // Settings: the volume slider to 50, then OK.
  Tap(240, 560);
  Tap(224, 480);
  Tap(200, 580);
  ASSERT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(StoredStatus(root_).volume, 50);

  // A stored game abandoned: gone from the store at once.
  Tap(240, 380);
  ce::host::AdvanceTime(2000);
  ce::SendMessageW(shell.mainWindow, ce::WM_ACTIVATE, ce::WA_INACTIVE, 0);
  ASSERT_EQ(StoredStatus(root_).gameMode, Hard);
  TapAndAnswer(watcher_, 431, 40, 1);
  ASSERT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(StoredStatus(root_).gameMode, 0);

  // The hi-scores reset, stored before the box that says so.
  Tap(240, 504);
  ASSERT_EQ(shell.ScreenState, HiScores);
  hiScoreTables[0].entries[0].score = 1;
  ce::SendMessageW(shell.mainWindow, ce::WM_ACTIVATE, ce::WA_INACTIVE, 0);
  ASSERT_EQ(StoredEasyBest(root_), 1);
  TapAndAnswer(watcher_, 400, 100, 2);
  EXPECT_EQ(ce::host::CurrentMessageBox(), nullptr);
  EXPECT_EQ(StoredEasyBest(root_), 3245);
}

TEST_F(ShellTest, ClosingTheMainWindowStoresThenQuits) {
  BootToMenu(kLarge);
  gameStatus.volume = 33;
  ce::PostMessageW(shell.mainWindow, ce::WM_CLOSE, 0, 0);
  ce::MSG msg{};
  int quits = 0;
  while (ce::PeekMessageW(&msg, nullptr, 0, 0, ce::PM_REMOVE)) {
    if (msg.message == ce::WM_QUIT) {
      ++quits;
      EXPECT_EQ(msg.wParam, 0u);
      break;
    }
    ce::DispatchMessageW(&msg);
  }
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(ce::IsWindow(shell.mainWindow));
  const GameStatus stored = StoredStatus(root_);
  EXPECT_EQ(stored.volume, 33);
  EXPECT_EQ(stored.gameMode, 0);
}

// The page hidden: everything stored as "Exit the Game?" would store it, while
// the screen, the game and its timer go on untouched.
TEST_F(ShellTest, AnInactiveWindowStoresTheGameAndChangesNothing) {
  BootToMenu(kLarge);
  ce::host::StylusDown(240, 380);  // Hard: its life drains by itself
  ce::host::StylusUp(240, 380);
  ce::host::AdvanceTime(3000);
  ASSERT_EQ(shell.ScreenState, Play);
  const std::vector<std::uint32_t> pixels = ce::host::ScreenPixels();
  const auto invalid = ce::host::InvalidRegion(shell.mainWindow);
  const GameStatus before = gameStatus;

  ce::SendMessageW(shell.mainWindow, ce::WM_ACTIVATE, ce::WA_INACTIVE, 0);
  const GameStatus stored = StoredStatus(root_);
  EXPECT_EQ(std::memcmp(&stored, &before, sizeof stored), 0) << "stored other than the running game";
  EXPECT_EQ(stored.gameMode, Hard);
  EXPECT_TRUE(ce::host::ScreenPixels() == pixels);
  EXPECT_EQ(ce::host::InvalidRegion(shell.mainWindow).size(), invalid.size());
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(engine.gamePhase, Running);
  EXPECT_TRUE(ce::IsWindow(shell.mainWindow));

  // Becoming active again stores nothing; the game goes on draining.
  std::filesystem::remove_all(root_ / "data" / "registry");
  ce::SendMessageW(shell.mainWindow, ce::WM_ACTIVATE, ce::WA_ACTIVE, 0);
  EXPECT_EQ(StoredStatus(root_).gameMode, -1);
  ce::host::AdvanceTime(3000);
  EXPECT_LT(gameStatus.life, before.life);
}

// A game that ends is stored at once as no game: one stored for later and then
// finished never comes back, even when the program is killed on its GAME OVER.
TEST_F(ShellTest, TheEndOfAGameStoresItAsNoGame) {
  BootToMenu(kLarge);
  ce::host::StylusDown(240, 380);
  ce::host::StylusUp(240, 380);
  ce::host::AdvanceTime(2000);
  ce::SendMessageW(shell.mainWindow, ce::WM_ACTIVATE, ce::WA_INACTIVE, 0);
  ASSERT_EQ(StoredStatus(root_).gameMode, Hard);
  gameStatus.life = 1;
  gameStatus.lifeGain = 0;
  gameStatus.lifeLoss = 0;
  for (int i = 0; i < 300 && engine.gamePhase == Running; ++i) ce::host::AdvanceTime(100);
  ASSERT_EQ(engine.gamePhase, Ending);
  EXPECT_EQ(StoredStatus(root_).gameMode, 0);
  EXPECT_EQ(gameStatus.gameMode, Hard) << "memory keeps the finished game's mode for its tables";
}

}  // namespace
