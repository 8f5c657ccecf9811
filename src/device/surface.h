// The device's pixels and rectangles, as the device and its hosts both see
// them: the screen's surface, rectangle arithmetic and regions.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/device.h"

namespace ce {

// A number never handed out before (the device draws on one thread).
inline std::uint64_t NextSurfaceStamp() {
  static std::uint64_t last = 0;
  return ++last;
}

// Pixels as 0x00RRGGBB.
//
// `stamp` changes whenever the pixels may have changed: writers reach them
// through the non-const row(), which stamps. Stamps are unique across all
// surfaces, so two equal stamps mean equal pixels. `id` tells surfaces
// apart: a new surface gets a new one, a copy keeps its original's.
struct Surface {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint64_t stamp = NextSurfaceStamp();
  std::uint64_t id = stamp;
  Surface() = default;
  Surface(int w, int h) : width(w), height(h), pixels(std::size_t(w > 0 ? w : 0) * (h > 0 ? h : 0), 0) {}
  std::uint32_t* row(int y) {
    stamp = NextSurfaceStamp();
    return pixels.data() + std::size_t(y) * width;
  }
  const std::uint32_t* row(int y) const { return pixels.data() + std::size_t(y) * width; }
};

inline std::uint32_t ToPixel(COLORREF c) {
  return (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
         std::uint32_t(GetBValue(c));
}
inline COLORREF FromPixel(std::uint32_t p) {
  return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
}

inline bool RectEmpty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}
inline RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  if (RectEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}
inline RECT Offset(const RECT& r, int dx, int dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A set of disjoint rectangles.
class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r) { Add(r); }
  void Clear() { rects_.clear(); }
  bool Empty() const { return rects_.empty(); }
  const std::vector<RECT>& Rects() const { return rects_; }
  void Add(const RECT& r);       // union
  void Subtract(const RECT& r);  // difference
  void IntersectWith(const RECT& r);
  void IntersectWith(const Region& other);
  void OffsetBy(int dx, int dy);
  RECT Bounds() const;
  bool Contains(int x, int y) const;

 private:
  std::vector<RECT> rects_;
};

}  // namespace ce
