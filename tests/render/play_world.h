// A play screen without the shell: a window of its own whose paint runs the
// play painter and whose game timer runs the tick, on either screen size.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/program_state.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/state.h"
#include "game/tick.h"
#include "platform/host.h"
#include "render/draw.h"
#include "render/meters_buttons.h"
#include "render/play_screen.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace playworld {

inline int paints = 0;
inline int ticks = 0;
// Run at each game timer message (also while a message box's own loop runs).
inline std::function<void()> onTick;

// Logical coordinates of a pointer message, halved on the large screens.
inline int Logical(int device) {
  return display.DisplayMode == 3 || display.DisplayMode == 4 ? device / 2 : device;
}

inline ce::LRESULT PlayProc(ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) {
  if (m == ce::WM_PAINT) {
    ce::PAINTSTRUCT ps{};
    ce::HDC dc = ce::BeginPaint(w, &ps);
    display.DisplayMode = ClassifyDisplayMode(ce::host::ScreenWidth(), ce::host::ScreenHeight());
    PaintPlayScreen(w, dc);
    ce::EndPaint(w, &ps);
    ++paints;
    return 0;
  }
  if (m == ce::WM_TIMER && wp == kGameTimer) {
    ++ticks;
    GameTick(w);
    if (onTick) onTick();
    return 0;
  }
  const int x = Logical(static_cast<short>(ce::LOWORD(std::uintptr_t(lp))));
  const int y = Logical(static_cast<short>(ce::HIWORD(std::uintptr_t(lp))));
  if (shell.ScreenState == Play) {
    if (m == ce::WM_LBUTTONDOWN) PlayPointerDown(w, x, y);
    if (m == ce::WM_MOUSEMOVE) PlayPointerMove(w, x, y);
    if (m == ce::WM_LBUTTONUP) PlayPointerUp(w, x, y);
    if (m == ce::WM_KEYUP) PlayKeyUp(static_cast<ce::UINT>(wp), w);
  }
  return ce::DefWindowProcW(w, m, wp, lp);
}

// The program-wide values back to their start, and a device of the given size.
inline ce::HWND StartPlayWorld(int width, int height) {
  ce::host::Options options;
  options.screenWidth = width;
  options.screenHeight = height;
  ce::host::Start(options);
  ResetProgramState();
  paints = 0;
  ticks = 0;
  onTick = nullptr;
  ResetHiScores();

  ce::WNDCLASSW wc{};
  wc.lpfnWndProc = PlayProc;
  wc.lpszClassName = u"PlayWorld";
  ce::RegisterClassW(&wc);
  ce::HWND window = ce::CreateWindowExW(0, u"PlayWorld", u"Melvoria", ce::WS_VISIBLE, 0, 0, width, height,
                                        nullptr, 0, nullptr, nullptr);
  shell.mainWindow = window;
  ReadScreenDpi();
  display.DisplayMode = ClassifyDisplayMode(width, height);
  gameStatus.initialised = 1;
  gameStatus.helpEnabled = 0;
  gameStatus.gameSpeed = 1;
  gameStatus.volume = 80;
  ce::host::PumpMessages();
  return window;
}

// Starts a game of the mode as the main menu does (its build readies the next
// game) and serves the game's first paint.
inline void BeginGame(ce::HWND window, std::int32_t mode) {
  engine.gamePhase = NotStarted;
  requests.playSetupPending = 1;
  StartGame(window, mode);
  ce::host::PumpMessages();
}

// Screen pixel at a logical point (its top-left device pixel).
inline std::uint32_t At(int x, int y) {
  return ce::host::ScreenPixel(ScaleX(x), ScaleY(y));
}

constexpr std::uint32_t Rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// Whether the screen at logical (x, y) shows the part of the picture that
// starts at logical (sx, sy) of it, w x h logical, pixel for pixel; keyed
// pictures compare only their non-key pixels.
inline bool ShowsPart(int picture, int sx, int sy, int x, int y, int w, int h, bool keyed = false) {
  ce::HBITMAP bitmap = ce::LoadBitmapW(ce::GetModuleHandleW(nullptr), ce::MAKEINTRESOURCEW(picture));
  ce::HDC dc = ce::CreateCompatibleDC(nullptr);
  ce::HGDIOBJ old = ce::SelectObject(dc, bitmap);
  bool same = bitmap != nullptr;
  for (int py = 0; same && py < ScaleY(h); ++py)
    for (int px = 0; same && px < ScaleX(w); ++px) {
      ce::COLORREF c = ce::GetPixel(dc, ScaleX(sx) + px, ScaleY(sy) + py);
      if (keyed && c == ce::RGB(255, 204, 255)) continue;
      std::uint32_t want = Rgb(ce::GetRValue(c), ce::GetGValue(c), ce::GetBValue(c));
      same = ce::host::ScreenPixel(ScaleX(x) + px, ScaleY(y) + py) == want;
    }
  ce::SelectObject(dc, old);
  ce::DeleteDC(dc);
  if (bitmap != nullptr) ce::DeleteObject(bitmap);
  return same;
}

inline bool ShowsPicture(int picture, int x, int y, int w, int h, bool keyed = false) {
  return ShowsPart(picture, 0, 0, x, y, w, h, keyed);
}

// The small or the large number, by the screen in use.
inline int Pic(int small, int large) {
  return PlayPicture(small, large);
}

// Stops the game timer, so that only the test changes the requests.
inline void Freeze(ce::HWND window) {
  ce::KillTimer(window, kGameTimer);
}

// Device pixels of one colour in a logical rectangle.
inline int CountColour(std::uint32_t colour, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = ScaleY(top); y < ScaleY(bottom); ++y)
    for (int x = ScaleX(left); x < ScaleX(right); ++x) n += ce::host::ScreenPixel(x, y) == colour;
  return n;
}

// Repaints the whole window now, whatever the requests.
inline void PaintAll(ce::HWND window) {
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
}

inline void Shot(const std::string& name) {
  if (const char* dir = std::getenv("MELVORIA_SHOTS")) {
    std::string error;
    ce::host::SaveScreenshot(std::string(dir) + "/" + name + ".png", &error);
  }
}

}  // namespace playworld
