// The real main window on a fresh device, for the screens other than the play
// screen: taps and keys in logical coordinates, pixels probed at logical points.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "app/program_state.h"
#include "app/main_window.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "app/startup.h"
#include "game/state.h"
#include "platform/host.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/menu_layout.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace screensworld {

struct Size {
  int width, height;
};
constexpr Size kSmall{240, 320};
constexpr Size kLarge{480, 640};

inline std::string MakeDataDir() {
  char pattern[] = "/tmp/melvoria-screens-XXXXXX";
  const char* dir = ::mkdtemp(pattern);
  return dir != nullptr ? dir : "/tmp";
}

// Resets every program-wide value and brings up the main window on the main
// menu (painted), with help off and the usual first-run settings.
inline ce::HWND StartWorld(Size size, const std::string& dataDir = MakeDataDir()) {
  ce::host::Options options;
  options.screenWidth = size.width;
  options.screenHeight = size.height;
  options.dataDir = dataDir;
  ce::host::Start(options);
  ResetProgramState();
  ResetHiScores();
  gameStatus.initialised = 1;
  gameStatus.gameSpeed = 1;
  gameStatus.volume = 80;
  gameStatus.soundOn = 1;

  RegisterMainWindowClass(nullptr, kMainWindowClass);
  ce::HWND window = ce::CreateWindowExW(0, kMainWindowClass, kMainWindowClass, ce::WS_VISIBLE, 0, 0,
                                        size.width, size.height, nullptr, 0, nullptr, nullptr);
  shell.mainWindow = window;
  ReadScreenDpi();
  display.DisplayMode = ClassifyDisplayMode(size.width, size.height);
  ce::host::PumpMessages();
  return window;
}

// Device pixel of a logical point.
inline int DX(int x) {
  return ScaleX(x);
}
inline int DY(int y) {
  return ScaleY(y);
}

inline void Tap(int x, int y) {
  ce::host::StylusDown(DX(x), DY(y));
  ce::host::StylusUp(DX(x), DY(y));
  ce::host::PumpMessages();
}
inline void Press(int x, int y) {
  ce::host::StylusDown(DX(x), DY(y));
  ce::host::PumpMessages();
}
inline void Release(int x, int y) {
  ce::host::StylusUp(DX(x), DY(y));
  ce::host::PumpMessages();
}
inline void Key(ce::UINT vk) {
  ce::host::KeyDown(vk);
  ce::host::KeyUp(vk);
  ce::host::PumpMessages();
}
// A tap that opens message boxes, answered in turn by the keys (Enter: the
// first button, Escape: No).
inline void TapAnswering(int x, int y, std::initializer_list<ce::UINT> answers) {
  ce::host::StylusDown(DX(x), DY(y));
  ce::host::StylusUp(DX(x), DY(y));
  for (ce::UINT vk : answers) {
    ce::host::KeyDown(vk);
    ce::host::KeyUp(vk);
  }
  ce::host::PumpMessages();
}

// Screen pixel at a logical point (its top-left device pixel), 0xRRGGBB.
inline std::uint32_t At(int x, int y) {
  return ce::host::ScreenPixel(DX(x), DY(y));
}
constexpr std::uint32_t Rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// Whether the screen shows picture `picture` with its top-left corner at
// logical (x, y), pixel for pixel (keyed: pixels of the key left out); only
// its top `rows` logical rows when rows is given (from logical row `firstRow`
// on), and only what lies on the screen.
inline bool ShowsPicture(int picture, int x, int y, ce::COLORREF key = 0xFFFFFFFFu, int rows = -1,
                         int firstRow = 0) {
  ce::HBITMAP bitmap = ce::LoadBitmapW(ce::GetModuleHandleW(nullptr), ce::MAKEINTRESOURCEW(picture));
  if (bitmap == nullptr) return false;
  ce::BITMAP info{};
  ce::GetObjectW(bitmap, sizeof info, &info);
  ce::HDC dc = ce::CreateCompatibleDC(nullptr);
  ce::HGDIOBJ old = ce::SelectObject(dc, bitmap);
  bool same = true;
  const int height = rows < 0 ? info.bmHeight : DY(firstRow + rows);
  for (int py = DY(firstRow); same && py < height && DY(y) + py < ce::host::ScreenHeight(); ++py)
    for (int px = 0; same && px < info.bmWidth && DX(x) + px < ce::host::ScreenWidth(); ++px) {
      ce::COLORREF c = ce::GetPixel(dc, px, py);
      if (c == key) continue;
      same = ce::host::ScreenPixel(DX(x) + px, DY(y) + py) ==
             Rgb(ce::GetRValue(c), ce::GetGValue(c), ce::GetBValue(c));
    }
  ce::SelectObject(dc, old);
  ce::DeleteDC(dc);
  ce::DeleteObject(bitmap);
  return same;
}

// How many device pixels of a logical rectangle have the colour.
inline int CountColour(std::uint32_t colour, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = DY(top); y < DY(bottom); ++y)
    for (int x = DX(left); x < DX(right); ++x) n += ce::host::ScreenPixel(x, y) == colour;
  return n;
}

inline void Shot(const std::string& name) {
  if (const char* dir = std::getenv("MELVORIA_SHOTS")) {
    std::string error;
    ce::host::SaveScreenshot(std::string(dir) + "/" + name + ".png", &error);
  }
}

inline const char* SizeName(Size s) {
  return s.width == 240 ? "small" : "large";
}

}  // namespace screensworld
