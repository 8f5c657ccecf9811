// The window system: message order, painting and clipping, windows going away,
// timers on virtual time, message boxes and controls.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/host.h"
#include "present/frame.h"

using namespace ce;

namespace {

struct Log {
  std::vector<std::pair<HWND, UINT>> messages;
  std::vector<UINT_PTR> timerIds;
  std::vector<DWORD> timerTimes;
};
Log g_log;
COLORREF g_paintColor = RGB(255, 0, 0);
std::vector<RECT> g_paintRects;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT || msg == WM_TIMER || msg == WM_USER || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP ||
      msg == WM_KEYUP || msg == WM_COMMAND || msg == WM_CHAR)
    g_log.messages.push_back({hwnd, msg});
  if (msg == WM_TIMER) {
    g_log.timerIds.push_back(wParam);
    g_log.timerTimes.push_back(GetTickCount());
  }
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    g_paintRects.push_back(ps.rcPaint);
    // Paint the whole window: only the invalid part may reach the screen.
    RECT all;
    GetClientRect(hwnd, &all);
    HBRUSH b = CreateSolidBrush(g_paintColor);
    FillRect(dc, &all, b);
    DeleteObject(b);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_DESTROY) return 0;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Options o;
    o.screenWidth = 240;
    o.screenHeight = 320;
    host::Start(o);
    g_log = Log{};
    g_paintRects.clear();
    g_paintColor = RGB(255, 0, 0);
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"Rec";
    RegisterClassW(&wc);
  }
  void TearDown() override { host::Stop(); }

  HWND Make(int x, int y, int w, int h, DWORD style = WS_VISIBLE) {
    return CreateWindowExW(0, u"Rec", u"Rec", style, x, y, w, h, nullptr, 0, nullptr, nullptr);
  }
};

constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

TEST_F(WindowTest, PostedThenPaintThenTimer) {
  HWND a = Make(0, 0, 240, 320);
  host::PumpMessages();
  g_log = Log{};
  SetTimer(a, 7, 4, nullptr);
  InvalidateRect(a, nullptr, FALSE);
  PostMessageW(a, WM_USER, 0, 0);
  PostMessageW(a, WM_USER, 0, 0);
  host::AdvanceTime(4);
  std::vector<UINT> order;
  for (auto& [h, m] : g_log.messages) order.push_back(m);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER, WM_PAINT, WM_TIMER}));
}

TEST_F(WindowTest, PaintIsClippedToTheInvalidAreaAndPixelsPersist) {
  HWND a = Make(0, 0, 240, 320);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(100, 100), kRed);
  g_paintColor = RGB(0, 0, 255);
  RECT r{10, 20, 30, 40};
  InvalidateRect(a, &r, FALSE);
  RECT r2{100, 100, 110, 105};
  InvalidateRect(a, &r2, FALSE);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(10, 20), kBlue);
  EXPECT_EQ(host::ScreenPixel(29, 39), kBlue);
  EXPECT_EQ(host::ScreenPixel(30, 39), kRed);
  EXPECT_EQ(host::ScreenPixel(105, 102), kBlue);
  // Between the two areas nothing was painted: the old pixels stay.
  EXPECT_EQ(host::ScreenPixel(60, 60), kRed);
  EXPECT_TRUE(host::InvalidRegion(a).empty());
}

TEST_F(WindowTest, CoveringWindowClipsAndGoingAwayRestoresAndInvalidates) {
  HWND bottom = Make(0, 0, 240, 320);
  host::PumpMessages();
  g_paintColor = RGB(0, 255, 0);
  HWND top = Make(20, 40, 100, 50, WS_POPUP | WS_VISIBLE);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(25, 45), kGreen);
  // The bottom window repaints everything, but not through the popup.
  g_paintColor = RGB(0, 0, 255);
  InvalidateRect(bottom, nullptr, FALSE);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(25, 45), kGreen);
  EXPECT_EQ(host::ScreenPixel(5, 5), kBlue);
  // Gone: the covered pixels come back as they were when it appeared, and
  // are marked for paint below.
  g_paintColor = RGB(255, 255, 255);
  DestroyWindow(top);
  EXPECT_EQ(host::ScreenPixel(25, 45), kRed);
  auto inv = host::InvalidRegion(bottom);
  ASSERT_EQ(inv.size(), 1u);
  EXPECT_EQ(inv[0].left, 20);
  EXPECT_EQ(inv[0].top, 40);
  EXPECT_EQ(inv[0].right, 120);
  EXPECT_EQ(inv[0].bottom, 90);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(25, 45), 0xFFFFFFu);
  EXPECT_EQ(host::ScreenPixel(5, 5), kBlue);
}

TEST_F(WindowTest, ChildControlsAreNotPaintedOverByTheirParent) {
  HWND parent = Make(0, 0, 240, 320);
  HWND button = CreateWindowExW(0, u"button", u"OK", WS_CHILD | WS_VISIBLE, 30, 100, 80, 22, parent, 58632,
                                nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetDlgItem(parent, 58632), button);
  host::PumpMessages();
  // The button's inside is white, its frame black; the parent's red stays out.
  EXPECT_EQ(host::ScreenPixel(30, 100), 0x000000u);
  EXPECT_EQ(host::ScreenPixel(35, 104), 0xFFFFFFu);
  EXPECT_EQ(host::ScreenPixel(20, 100), kRed);
  // A click released inside reaches the parent as WM_COMMAND with the id.
  g_log = Log{};
  host::StylusDown(40, 110);
  host::StylusUp(40, 110);
  host::PumpMessages();
  bool command = false;
  for (auto& [h, m] : g_log.messages) command = command || (h == parent && m == WM_COMMAND);
  EXPECT_TRUE(command);
  // Released outside: no command.
  g_log = Log{};
  host::StylusDown(40, 110);
  host::StylusMove(200, 300);
  host::StylusUp(200, 300);
  host::PumpMessages();
  for (auto& [h, m] : g_log.messages) EXPECT_NE(m, UINT(WM_COMMAND));
  DestroyWindow(button);
  EXPECT_EQ(GetDlgItem(parent, 58632), nullptr);
}

TEST_F(WindowTest, EditBoxTypesLimitsAndAnswersGetText) {
  HWND parent = Make(0, 0, 240, 320);
  HWND edit = CreateWindowExW(0, u"EDIT", u"Player", WS_CHILD | WS_VISIBLE | WS_BORDER, 30, 140, 180, 22,
                              parent, 1310, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  host::PumpMessages();
  host::TypeText(u"Zoë");
  host::KeyDown(VK_BACK);  // Backspace comes from the key, through TranslateMessage
  host::KeyUp(VK_BACK);
  host::PumpMessages();
  char16_t buf[16];
  std::memset(buf, 0xAB, sizeof buf);
  LRESULT n = SendDlgItemMessageW(parent, 1310, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(n, 8);
  EXPECT_EQ(std::u16string(buf), u"PlayerZo");
  // Room for 4 units: 3 characters and the terminator, nothing past it.
  std::memset(buf, 0xAB, sizeof buf);
  n = SendDlgItemMessageW(parent, 1310, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::u16string(buf), u"Pla");
  EXPECT_EQ(buf[4], char16_t(0xABAB));
  SendMessageW(edit, EM_LIMITTEXT, 9, 0);
  host::TypeText(u"12345");
  host::PumpMessages();
  n = SendDlgItemMessageW(parent, 1310, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(std::u16string(buf), u"PlayerZo1");
}

TEST_F(WindowTest, TimersOnVirtualTime) {
  HWND a = Make(0, 0, 240, 320);
  host::PumpMessages();
  g_log = Log{};
  SetTimer(a, 1324, 2, nullptr);  // under the shortest period: runs every 4 ms
  host::AdvanceTime(40);
  EXPECT_EQ(g_log.timerIds.size(), 10u);
  for (std::size_t i = 0; i < g_log.timerTimes.size(); ++i)
    EXPECT_EQ(g_log.timerTimes[i], DWORD(4 * (i + 1)));
  // Setting it again replaces it: one timer, restarted from now.
  g_log = Log{};
  SetTimer(a, 1324, 10, nullptr);
  SetTimer(a, 1324, 10, nullptr);
  host::AdvanceTime(30);
  EXPECT_EQ(g_log.timerIds.size(), 3u);
  KillTimer(a, 1324);
  g_log = Log{};
  host::AdvanceTime(100);
  EXPECT_TRUE(g_log.timerIds.empty());
  EXPECT_EQ(GetTickCount(), DWORD(170));
}

// A window procedure that asks a question from inside a timer message.
HWND g_asker = nullptr;
int g_answer = 0;
int g_otherTicksDuringBox = 0;
bool g_inBox = false;
LRESULT AskingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) {
    g_inBox = true;
    g_answer = MessageBoxW(hwnd, u"Exit the Game?", u"Melvoria", MB_YESNO | MB_ICONEXCLAMATION);
    g_inBox = false;
    return 0;
  }
  return RecordingProc(hwnd, msg, wParam, lParam);
}
LRESULT TickingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && g_inBox) {
    ++g_otherTicksDuringBox;
    // Answer the box after a while, as a player would.
    if (g_otherTicksDuringBox == 5) {
      host::KeyDown(VK_RETURN);
      host::KeyUp(VK_RETURN);
    }
  }
  return RecordingProc(hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, MessageBoxKeepsOtherWindowsTickingAndAnswersEnter) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = AskingProc;
  wc.lpszClassName = u"Asker";
  RegisterClassW(&wc);
  wc.lpfnWndProc = TickingProc;
  wc.lpszClassName = u"Ticker";
  RegisterClassW(&wc);
  HWND ticker = CreateWindowExW(0, u"Ticker", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
  g_asker = CreateWindowExW(0, u"Asker", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  host::PumpMessages();
  SetTimer(ticker, 1324, 4, nullptr);
  g_otherTicksDuringBox = 0;
  g_answer = 0;
  PostMessageW(g_asker, WM_USER, 0, 0);
  // The box's own loop runs the clock on as long as this wait lasts.
  host::AdvanceTime(100);
  EXPECT_EQ(g_answer, IDYES);
  EXPECT_GE(g_otherTicksDuringBox, 5);
  EXPECT_EQ(host::CurrentMessageBox(), nullptr);
}

TEST_F(WindowTest, MessageBoxEscapeAnswersNoAndIsDrawnOnTheScreen) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = AskingProc;
  wc.lpszClassName = u"Asker";
  RegisterClassW(&wc);
  g_asker = CreateWindowExW(0, u"Asker", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
  host::PumpMessages();
  std::uint32_t before = host::ScreenPixel(120, 160);
  host::KeyDown(VK_ESCAPE);  // queued: reaches the box once it is up
  host::KeyUp(VK_ESCAPE);
  g_answer = 0;
  SendMessageW(g_asker, WM_USER, 0, 0);
  EXPECT_EQ(g_answer, IDNO);
  // The box painted over the window and put its pixels back when it went.
  EXPECT_EQ(host::ScreenPixel(120, 160), before);
}

// What a message box looks like on the screen.
struct BoxLook {
  RECT rect{};
  std::vector<std::uint32_t> pixels;
};
BoxLook LookAtBox() {
  BoxLook look;
  HWND box = host::CurrentMessageBox();
  if (!box) return look;
  GetWindowRect(box, &look.rect);
  for (int y = look.rect.top; y < look.rect.bottom; ++y)
    for (int x = look.rect.left; x < look.rect.right; ++x) look.pixels.push_back(host::ScreenPixel(x, y));
  return look;
}

// While the asker's box is up, the ticker's ticks turn the device (when told
// to), look at the box once it has been painted, and answer it.
bool g_turnWhileAsked = false;
BoxLook g_boxSeen;
LRESULT TurningProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && g_inBox) {
    ++g_otherTicksDuringBox;
    if (g_otherTicksDuringBox == 2 && g_turnWhileAsked) host::Rotate();
    if (g_otherTicksDuringBox == 5) {
      g_boxSeen = LookAtBox();
      host::KeyDown(VK_RETURN);
      host::KeyUp(VK_RETURN);
    }
  }
  return RecordingProc(hwnd, msg, wParam, lParam);
}

// The "Exit the Game?" box over a full-screen window, opened on a screen of
// this size and turned with the device while it is up, or not.
BoxLook AskOn(int width, int height, bool turn) {
  host::Options o;
  o.screenWidth = width;
  o.screenHeight = height;
  host::Start(o);
  WNDCLASSW wc{};
  wc.lpfnWndProc = AskingProc;
  wc.lpszClassName = u"Asker";
  RegisterClassW(&wc);
  wc.lpfnWndProc = TurningProc;
  wc.lpszClassName = u"Turner";
  RegisterClassW(&wc);
  HWND turner =
      CreateWindowExW(0, u"Turner", u"", WS_VISIBLE, 0, 0, width, height, nullptr, 0, nullptr, nullptr);
  g_asker = CreateWindowExW(0, u"Asker", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  host::PumpMessages();
  SetTimer(turner, 1324, 4, nullptr);
  g_turnWhileAsked = turn;
  g_otherTicksDuringBox = 0;
  g_boxSeen = BoxLook{};
  g_answer = 0;
  PostMessageW(g_asker, WM_USER, 0, 0);
  host::AdvanceTime(100);
  EXPECT_EQ(g_answer, IDYES);
  return g_boxSeen;
}

TEST_F(WindowTest, MessageBoxTurnedWithTheDeviceLooksAsOneOpenedOnTheTurnedScreen) {
  struct Case {
    int width, height;  // before the turn
  };
  for (Case c : {Case{240, 320}, Case{320, 240}, Case{480, 640}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    BoxLook turned = AskOn(c.width, c.height, true);
    BoxLook opened = AskOn(c.height, c.width, false);
    ASSERT_FALSE(opened.pixels.empty());
    EXPECT_EQ(turned.rect.left, opened.rect.left);
    EXPECT_EQ(turned.rect.top, opened.rect.top);
    EXPECT_EQ(turned.rect.right, opened.rect.right);
    EXPECT_EQ(turned.rect.bottom, opened.rect.bottom);
    EXPECT_TRUE(turned.pixels == opened.pixels) << "the turned box is drawn differently";
    // Whole on the turned screen.
    EXPECT_GE(turned.rect.left, 0);
    EXPECT_LE(turned.rect.right, c.height);
    EXPECT_LE(turned.rect.bottom, c.width);
  }
}

TEST_F(WindowTest, WmCloseDestroysThroughTheDefaultProcedure) {
  HWND a = Make(0, 0, 240, 320);
  PostMessageW(a, WM_CLOSE, 0, 0);
  host::PumpMessages();
  EXPECT_FALSE(IsWindow(a));
  // Messages to a destroyed window go nowhere, without harm.
  EXPECT_EQ(SendMessageW(a, WM_USER, 0, 0), 0);
  EXPECT_FALSE(InvalidateRect(a, nullptr, FALSE));
}

TEST_F(WindowTest, DefaultPositionLeavesRoomForTheBarsAndScreenMetricsFollowRotation) {
  HWND a = CreateWindowExW(0, u"Rec", u"Rec", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
  RECT r;
  GetWindowRect(a, &r);
  EXPECT_EQ(r.top, 26);
  EXPECT_EQ(r.bottom, 294);
  // The full-screen move of the game's start-up.
  MoveWindow(a, r.left, r.top - 26, r.right, r.bottom + 26, TRUE);
  GetWindowRect(a, &r);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 320);
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSX), 96);
  host::Rotate();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
  GetWindowRect(a, &r);
  EXPECT_EQ(r.right, 320);
}

TEST_F(WindowTest, AcceleratorKeysAreConsumed) {
  // Without a table nothing is consumed.
  MSG m{nullptr, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorW(nullptr, nullptr, &m), 0);
}

TEST_F(WindowTest, ShellCallsAreRecorded) {
  HWND a = Make(0, 0, 240, 320);
  SHFullScreen(a, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
  EXPECT_TRUE(host::Shell().taskBarHidden);
  EXPECT_TRUE(host::Shell().sipButtonHidden);
  SHFullScreen(a, SHFS_SHOWSIPBUTTON);
  EXPECT_FALSE(host::Shell().sipButtonHidden);
  EXPECT_TRUE(host::Shell().startIconHidden);
  SHACTIVATEINFO sai{};
  SHHandleWMActivate(a, 0, 0, &sai, 0);
  EXPECT_EQ(host::Shell().activateCalls, 1);
}

}  // namespace

namespace {
TEST_F(WindowTest, KeyTableThreeConsumesCtrlAAndCtrlQOnly) {
  HWND a = Make(0, 0, 240, 320);
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(3));
  ASSERT_NE(table, nullptr);
  struct Case {
    bool ctrl;
    UINT key;
    int consumed;
  };
  const Case cases[] = {
      {true, 'A', 1}, {true, 'Q', 1}, {false, 'Q', 0}, {true, 'B', 0}, {false, VK_RETURN, 0}};
  for (const Case& c : cases) {
    host::PumpMessages();
    if (c.ctrl) host::KeyDown(VK_CONTROL);
    host::KeyDown(c.key);
    MSG msg;
    int consumed = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (msg.message == WM_KEYDOWN && msg.wParam == c.key) consumed = TranslateAcceleratorW(a, table, &msg);
    EXPECT_EQ(consumed, c.consumed) << c.key << (c.ctrl ? " with Ctrl" : "");
    host::KeyUp(c.key);
    if (c.ctrl) host::KeyUp(VK_CONTROL);
  }
}
}  // namespace

namespace {
// The device skips a copy to the screen that repeats one from a source and to
// a part of the screen that have not changed since. Each case changes one of
// them between two identical copies; the second must then show on the screen
// and be reported to the window. A memory context of 240 x 320, filled blue,
// is copied to the whole screen.
TEST_F(WindowTest, ARepeatedCopyToTheScreenIsSkippedOnlyWhileNothingChanged) {
  struct Case {
    const char* name;
    std::function<void(HDC screen, HDC source)> between;
    std::uint32_t shown;  // at (50, 60) after the second copy
    bool reported = true;
  };
  auto fill = [](HDC dc, COLORREF c, RECT r) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
  };
  const Case cases[] = {
      {"nothing", [](HDC, HDC) {}, kBlue, false},
      {"the source filled", [&](HDC, HDC src) { fill(src, RGB(0, 255, 0), RECT{40, 50, 60, 70}); }, kGreen},
      {"one source pixel set", [](HDC, HDC src) { SetPixel(src, 50, 60, RGB(0, 255, 0)); }, kGreen},
      {"the source copied into",
       [&](HDC, HDC src) {
         HDC other = CreateCompatibleDC(nullptr);
         HBITMAP bitmap = CreateCompatibleBitmap(other, 240, 320);
         HGDIOBJ old = SelectObject(other, bitmap);
         fill(other, RGB(0, 255, 0), RECT{0, 0, 240, 320});
         BitBlt(src, 0, 0, 240, 320, other, 0, 0, SRCCOPY);
         SelectObject(other, old);
         DeleteObject(bitmap);
         DeleteDC(other);
       },
       kGreen},
      {"another bitmap selected into the source",
       [&](HDC, HDC src) {
         HBITMAP bitmap = CreateCompatibleBitmap(src, 240, 320);
         DeleteObject(SelectObject(src, bitmap));
         fill(src, RGB(0, 255, 0), RECT{0, 0, 240, 320});
       },
       kGreen},
      {"the screen filled", [&](HDC screen, HDC) { fill(screen, RGB(255, 0, 0), RECT{0, 0, 240, 320}); }, kBlue},
      {"one screen pixel set", [](HDC screen, HDC) { SetPixel(screen, 50, 60, RGB(255, 0, 0)); }, kBlue},
      {"text on the screen",
       [](HDC screen, HDC) {
         RECT r{40, 50, 240, 80};
         SetBkMode(screen, OPAQUE);
         SetBkColor(screen, RGB(255, 0, 0));
         DrawTextW(screen, u"Wm", -1, &r, DT_LEFT);
       },
       kBlue},
      {"the screen turned and back", [](HDC, HDC) { host::Rotate(), host::Rotate(); }, kBlue},
  };
  for (const Case& c : cases) {
    SetUp();
    HWND a = Make(0, 0, 240, 320);
    host::PumpMessages();
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, CreateCompatibleBitmap(src, 240, 320));
    fill(src, RGB(0, 0, 255), RECT{0, 0, 240, 320});
    HDC screen = GetDC(a);
    BitBlt(screen, 0, 0, 240, 320, src, 0, 0, SRCCOPY);
    EXPECT_EQ(host::ScreenPixel(50, 60), kBlue) << c.name;
    c.between(screen, src);
    ScreenWrites().Clear();
    BitBlt(screen, 0, 0, 240, 320, src, 0, 0, SRCCOPY);
    EXPECT_EQ(host::ScreenPixel(50, 60), c.shown) << c.name;
    EXPECT_EQ(!ScreenWrites().Empty(), c.reported) << c.name;
    ReleaseDC(a, screen);
    DeleteObject(SelectObject(src, old));
    DeleteDC(src);
    TearDown();
  }
  SetUp();
}

// A copy made in a paint, clipped to the part that was invalid, says nothing
// of the rest of the screen: the same copy unclipped afterwards reaches it.
HDC g_copySource = nullptr;
LRESULT CopyingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (g_copySource) BitBlt(dc, 0, 0, 240, 320, g_copySource, 0, 0, SRCCOPY);
  EndPaint(hwnd, &ps);
  return 0;
}

TEST_F(WindowTest, ACopyClippedToAPaintDoesNotStandForTheWholeCopy) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CopyingProc;
  wc.lpszClassName = u"Copier";
  RegisterClassW(&wc);
  HWND a = CreateWindowExW(0, u"Copier", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
  host::PumpMessages();
  HDC screen = GetDC(a);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 240, 320};
  FillRect(screen, &all, red);
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, CreateCompatibleBitmap(src, 240, 320));
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(src, &all, blue);
  g_copySource = src;
  RECT corner{0, 0, 20, 20};
  InvalidateRect(a, &corner, FALSE);
  host::PumpMessages();
  EXPECT_EQ(host::ScreenPixel(10, 10), kBlue);
  EXPECT_EQ(host::ScreenPixel(100, 100), kRed);
  BitBlt(screen, 0, 0, 240, 320, src, 0, 0, SRCCOPY);
  EXPECT_EQ(host::ScreenPixel(100, 100), kBlue);
  g_copySource = nullptr;
  ReleaseDC(a, screen);
  DeleteObject(SelectObject(src, old));
  DeleteDC(src);
  DeleteObject(red);
  DeleteObject(blue);
}
}  // namespace
