// The program entry. Until the game's own screens land, this shows the device
// at work: a full-screen window, taps that draw, text in Tahoma and a clock.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/device.h"

using namespace ce;

namespace {
constexpr UINT_PTR kClockTimer = 1;
int g_ticks = 0;
int g_dots = 0;
std::vector<POINT> g_trail;  // what the stylus drew, for repaints

void DrawDot(HDC dc, int x, int y);

HFONT Font(int cell, LONG weight) {
  LOGFONTW lf{};
  int dpi = 96;
  HDC screen = GetDC(nullptr);
  dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  lf.lfHeight = (cell * dpi + 48) / 96;
  lf.lfWeight = weight;
  const char16_t face[] = u"Tahoma";
  for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

int Scale(int v) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return (v * dpi + 48) / 96;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &ps.rcPaint, white);
  DeleteObject(white);
  HBRUSH band = CreateSolidBrush(RGB(0, 36, 140));
  RECT top{0, 0, client.right, Scale(40)};
  FillRect(dc, &top, band);
  DeleteObject(band);
  SetBkMode(dc, TRANSPARENT);
  HFONT title = Font(20, FW_BOLD);
  HGDIOBJ old = SelectObject(dc, title);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextW(dc, u"Melvoria", -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  HFONT body = Font(13, FW_NORMAL);
  SelectObject(dc, body);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT text{Scale(10), Scale(50), client.right - Scale(10), Scale(110)};
  DrawTextW(dc,
            u"The device is ready. Tap anywhere to draw; the clock below counts seconds.\nF11 toggles full "
            u"screen, Ctrl+R turns the device.",
            -1, &text, DT_LEFT | DT_WORDBREAK);
  RECT clock{0, Scale(120), client.right, Scale(140)};
  std::u16string line = Ascii("Seconds: " + std::to_string(g_ticks) + "   Taps: " + std::to_string(g_dots));
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(255, 255, 255));
  HBRUSH clear = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &clock, clear);
  DeleteObject(clear);
  DrawTextW(dc, line.c_str(), -1, &clock, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  for (const POINT& p : g_trail) DrawDot(dc, p.x, p.y);
  SelectObject(dc, old);
  DeleteObject(title);
  DeleteObject(body);
  EndPaint(hwnd, &ps);
}

void DrawDot(HDC dc, int x, int y) {
  HBRUSH b = CreateSolidBrush(RGB(252, 191, 0));
  HPEN p = CreatePen(PS_SOLID, Scale(1), RGB(0, 0, 0));
  HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
  int r = Scale(5);
  RoundRect(dc, x - r, y - r, x + r, y + r, 2 * r, 2 * r);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(b);
  DeleteObject(p);
}

void Dot(HWND hwnd, int x, int y) {
  g_trail.push_back(POINT{x, y});
  HDC dc = GetDC(hwnd);
  DrawDot(dc, x, y);
  ReleaseDC(hwnd, dc);
}

LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_TIMER: {
      ++g_ticks;
      RECT clock{0, Scale(120), Scale(240), Scale(140)};
      InvalidateRect(hwnd, &clock, FALSE);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
      if (msg == WM_LBUTTONDOWN) ++g_dots;
      Dot(hwnd, LOWORD(std::uintptr_t(lParam)), HIWORD(std::uintptr_t(lParam)));
      return 0;
    case WM_KEYUP:
      if (wParam == VK_RETURN &&
          MessageBoxW(hwnd, u"Leave the demonstration?", u"Melvoria", MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kClockTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  HWND running = FindWindowW(u"Melvoria", u"Melvoria");
  if (running) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(running) | 1));
    return 0;
  }
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = u"Melvoria";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, u"Melvoria", u"Melvoria", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, 0, instance, nullptr);
  if (!hwnd) return 0;
  RECT r;
  GetWindowRect(hwnd, &r);
  SHFullScreen(hwnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
  int bar = Scale(26);
  MoveWindow(hwnd, r.left, r.top - bar, r.right, r.bottom + bar, TRUE);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  SetTimer(hwnd, kClockTimer, 1000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return int(msg.wParam);
}
