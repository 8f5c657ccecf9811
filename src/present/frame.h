// What a window or a page shows of the device screen: where it lies in the
// window, how it is scaled, and which pixels changed since the last frame.
// No SDL here, so tests and benchmarks use it as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "device/surface.h"

namespace ce::frame {

// Where the device screen lies in a window of pixels, and at what scale: a
// whole zoom (nearest neighbour) when zoom 1 fits, else scaled down smoothly
// to fit, keeping its shape. Centred: the rest of the window is bars.
struct Layout {
  int screenW = 0;
  int screenH = 0;
  int zoom = 1;         // when not smooth
  bool smooth = false;  // below 1, an area average
  RECT dest{};          // window pixels showing the screen
  int DestW() const { return dest.right - dest.left; }
  int DestH() const { return dest.bottom - dest.top; }
  // The window pixels that show the device rectangle r (all the pixels any of
  // its device pixels contribute to).
  RECT ToWindow(const RECT& r) const;
  // The device pixel shown at a window pixel; false when that lies on a bar
  // (the device pixel is then where the picture would continue).
  bool ToDevice(int px, int py, int* x, int* y) const;
  bool Same(const Layout& o) const;
};

// The screen of screenW x screenH in a window of width x height pixels.
Layout Fit(int screenW, int screenH, int width, int height);

// Draws device pixels into window pixels (0xFFRRGGBB) as a layout says.
class Scaler {
 public:
  void Configure(const Layout& layout);
  const Layout& layout() const { return layout_; }
  // Draws the window rectangle `area` (within the layout's dest) from the
  // screen into `dst`, which holds window pixel (originX, originY) at its
  // start and has `pitch` pixels a row.
  void Draw(const Surface& screen, const RECT& area, std::uint32_t* dst, int pitch, int originX,
            int originY) const;

 private:
  // One axis of the smooth scale: each window pixel averages `count` device
  // pixels from `first`, with weights (of 256 in all) from `offset`.
  struct Axis {
    std::vector<int> first, count, offset;
    std::vector<std::uint32_t> weights;
    // When no window pixel averages more than three: their weights, three
    // each (zeros after the last); and as 16-bit lanes, sixteen each: the
    // first weight four times, the second four times, four zeros and the
    // third four times.
    std::vector<std::uint32_t> three;
    std::vector<std::uint16_t> lanes;
    void Configure(int from, int to);
  };
  Layout layout_;
  Axis x_, y_;
  mutable std::vector<std::uint64_t> row_;  // smooth: a window row, its device rows summed
  mutable std::vector<const std::uint32_t*> rows_;  // smooth: those device rows
};

// Screen rectangles written since they were last taken: a few, merged as they
// come, so a paint of many small parts costs little to keep.
class Writes {
 public:
  void Add(const RECT& r);
  std::vector<RECT> Take();
  void Clear() { rects_.clear(); }
  bool Empty() const { return rects_.empty(); }

 private:
  std::vector<RECT> rects_;
};

// At zoom 1 the window's own pixels (0xFFRRGGBB, the layout's dest within
// `dst`, `pitch` pixels a row) are the last frame. Of the rectangles written,
// the parts whose pixels differ from the window's, each cut to its changed
// rows and columns, in device pixels; those pixels are drawn into the window
// as they are found. Empty when no pixel changed.
std::vector<RECT> DrawChanged(const Surface& screen, const std::vector<RECT>& written, const Layout& layout,
                              std::uint32_t* dst, int pitch);

// The device pixels the window shows (those of the last frame).
class Shown {
 public:
  // Forgets them: the next Take answers the whole screen.
  void Reset() { valid_ = false; }
  // Of the rectangles written since the last frame, the parts whose pixels
  // differ from the last frame, each cut to its changed rows and columns; the
  // last frame takes those pixels on. Empty when no pixel changed.
  std::vector<RECT> Take(const Surface& screen, const std::vector<RECT>& written);

 private:
  Surface pixels_;
  bool valid_ = false;
};

}  // namespace ce::frame

namespace ce {
// The screen rectangles the device wrote since the window's last frame
// (ScreenWritten adds to them).
frame::Writes& ScreenWrites();
// Whether the window owes a frame: the device wrote to the screen, or the
// window asked for one (shown again, resized); the frame clears it.
bool ScreenDirty();
void SetScreenDirty(bool dirty);
}  // namespace ce
