// Small helpers the screens other than the play screen share.
#pragma once

#include <cstdint>

#include "platform/device.h"
#include "render/scale.h"

// The small screen's picture in mode 1, its double-size twin in mode 3, and no
// picture (0, which draws nothing) in any other mode.
inline int PictureFor(int small, int large) {
  if (display.DisplayMode == 1) return small;
  if (display.DisplayMode == 3) return large;
  return 0;
}

inline bool LandscapeMode() {
  return display.DisplayMode == 2 || display.DisplayMode == 4;
}

// Logical hit rectangles include both edges.
inline bool Within(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && x <= right && y >= top && y <= bottom;
}

// A keyed copy between two contexts, position and size logical.
inline void CopyKeyed(ce::HDC target, ce::HDC source, int x, int y, int width, int height, ce::COLORREF key) {
  ce::TransparentBlt(target, ScaleX(x), ScaleY(y), ScaleX(width), ScaleY(height), source, 0, 0, ScaleX(width),
                     ScaleY(height), key);
}

// Whole-screen copy of a canvas to the window.
inline void CopyWholeScreen(ce::HDC target, ce::HDC canvas) {
  if (canvas != nullptr) ce::BitBlt(target, 0, 0, ScaleX(240), ScaleY(320), canvas, 0, 0, ce::SRCCOPY);
}

// Empties slots first..last.
void EmptyBitmapSlots(int first, int last);

// A page of the popup window turned to landscape closes the popup; nothing else changes.
void ClosePopupForLandscape(ce::HWND popup);

// An OK push button of a popup page, at a logical rectangle.
void CreatePopupOkButton(ce::HWND popup, int x, int y, int width, int height);
