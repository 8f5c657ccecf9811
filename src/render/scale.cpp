#include "render/scale.h"

#include <cstdlib>

Display display{};

void ReadScreenDpi() {
  if (display.dpiX != 0) return;
  ce::HDC dc = ce::GetDC(nullptr);
  display.dpiX = ce::GetDeviceCaps(dc, ce::LOGPIXELSX);
  display.dpiY = ce::GetDeviceCaps(dc, ce::LOGPIXELSY);
  ce::ReleaseDC(nullptr, dc);
}

std::int32_t ClassifyDisplayMode(int width, int height) {
  if (width == 240 && height == 320) return 1;
  if (width == 320 && height == 240) return 2;
  if (width == 480 && height == 640) return 3;
  if (width == 640 && height == 480) return 4;
  return 5;
}

namespace {

// Worked in 64 bits: neither a large coordinate nor an odd dpi may overflow.
std::int32_t Scale(std::int32_t v, std::int32_t dpi) {
  std::int64_t magnitude = (std::llabs(std::int64_t(v)) * dpi + 48) / 96;
  return static_cast<std::int32_t>(v < 0 ? -magnitude : magnitude);
}

}  // namespace

std::int32_t ScaleX(std::int32_t v) {
  return Scale(v, display.dpiX);
}
std::int32_t ScaleY(std::int32_t v) {
  return Scale(v, display.dpiY);
}

void InvalidateLogical(ce::HWND window, std::int32_t left, std::int32_t top, std::int32_t right,
                       std::int32_t bottom) {
  ce::RECT r{ScaleX(left), ScaleY(top), ScaleX(right), ScaleY(bottom)};
  ce::InvalidateRect(window, &r, ce::FALSE);
}

void InvalidateScreen(ce::HWND window, std::int32_t mode) {
  static constexpr std::int32_t kSizes[4][2] = {{240, 320}, {320, 240}, {480, 640}, {640, 480}};
  if (mode < 1 || mode > 4) return;
  ce::RECT r{0, 0, ScaleX(kSizes[mode - 1][0]), ScaleY(kSizes[mode - 1][1])};
  ce::InvalidateRect(window, &r, ce::FALSE);
}
