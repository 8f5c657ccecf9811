// Logical coordinates: every position is written in a 240 x 320 portrait space
// at 96 dpi and scaled to the device here.
#pragma once

#include <cstdint>

#include "platform/device.h"

// DisplayMode: 1 = 240x320, 2 = 320x240, 3 = 480x640, 4 = 640x480, 5 = any other size.
struct Display {
  std::int32_t dpiX = 0;  // 0 until ReadScreenDpi
  std::int32_t dpiY = 0;
  std::int32_t DisplayMode = 0;
};
extern Display display;

// Reads the screen's dots per inch the first time only.
void ReadScreenDpi();
// The DisplayMode of a screen of width x height device pixels.
std::int32_t ClassifyDisplayMode(int width, int height);

// sign(v) x ((abs(v) x dpi + 48) div 96).
std::int32_t ScaleX(std::int32_t v);
std::int32_t ScaleY(std::int32_t v);

// Marks a logical rectangle of the window for repaint, without erasing.
void InvalidateLogical(ce::HWND window, std::int32_t left, std::int32_t top, std::int32_t right,
                       std::int32_t bottom);
// Marks the whole screen of the mode (1..4) for repaint; any other mode marks nothing.
void InvalidateScreen(ce::HWND window, std::int32_t mode);
