// What a window or a page shows of the device screen: layout, scaling, and
// the pixels that changed.
#include "present/frame.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "device/port.h"

namespace ce::frame {

namespace {
// Two pixels as bytes, and as 16-bit lanes; four pixels.
typedef std::uint8_t Bytes8 __attribute__((vector_size(8)));
typedef std::uint16_t Lanes8 __attribute__((vector_size(16)));
typedef std::uint32_t Pixels4 __attribute__((vector_size(16)));

// n pixels made opaque, four at a time.
void OpaqueCopy(std::uint32_t* out, const std::uint32_t* in, int n) {
  const Pixels4 alpha = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
  int x = 0;
  for (; x + 4 <= n; x += 4) {
    Pixels4 v;
    std::memcpy(&v, in + x, sizeof v);
    v |= alpha;
    std::memcpy(out + x, &v, sizeof v);
  }
  for (; x < n; ++x) out[x] = in[x] | 0xFF000000u;
}

// Rounds towards minus infinity (a pointer on a bar left of the picture).
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
  return -FloorDiv(-a, b);
}

std::int64_t Area(const RECT& r) {
  return std::int64_t(r.right - r.left) * (r.bottom - r.top);
}
RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}
bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}
}  // namespace

// ---- layout --------------------------------------------------------------------------------

bool Layout::Same(const Layout& o) const {
  return screenW == o.screenW && screenH == o.screenH && zoom == o.zoom && smooth == o.smooth &&
         dest.left == o.dest.left && dest.top == o.dest.top && dest.right == o.dest.right &&
         dest.bottom == o.dest.bottom;
}

Layout Fit(int screenW, int screenH, int width, int height) {
  Layout l;
  l.screenW = std::max(1, screenW);
  l.screenH = std::max(1, screenH);
  width = std::max(1, width);
  height = std::max(1, height);
  int w, h;
  if (width >= l.screenW && height >= l.screenH) {
    l.zoom = std::min(width / l.screenW, height / l.screenH);
    w = l.screenW * l.zoom;
    h = l.screenH * l.zoom;
  } else {
    l.smooth = true;
    // The side that is shorter for the shape fills the window.
    if (std::int64_t(width) * l.screenH <= std::int64_t(height) * l.screenW) {
      w = width;
      h = int(std::max<std::int64_t>(1, std::int64_t(l.screenH) * width / l.screenW));
    } else {
      h = height;
      w = int(std::max<std::int64_t>(1, std::int64_t(l.screenW) * height / l.screenH));
    }
  }
  int x = (width - w) / 2, y = (height - h) / 2;
  l.dest = RECT{x, y, x + w, y + h};
  return l;
}

RECT Layout::ToWindow(const RECT& r) const {
  if (!smooth)
    return RECT{dest.left + r.left * zoom, dest.top + r.top * zoom, dest.left + r.right * zoom,
                dest.top + r.bottom * zoom};
  // Window pixel d averages device pixels [d * screen / dest, (d + 1) * screen / dest).
  return RECT{LONG(dest.left + FloorDiv(std::int64_t(r.left) * DestW(), screenW)),
              LONG(dest.top + FloorDiv(std::int64_t(r.top) * DestH(), screenH)),
              LONG(dest.left + CeilDiv(std::int64_t(r.right) * DestW(), screenW)),
              LONG(dest.top + CeilDiv(std::int64_t(r.bottom) * DestH(), screenH))};
}

bool Layout::ToDevice(int px, int py, int* x, int* y) const {
  std::int64_t dx = px - dest.left, dy = py - dest.top;
  if (!smooth) {
    *x = int(FloorDiv(dx, zoom));
    *y = int(FloorDiv(dy, zoom));
  } else {
    // The device pixel under the middle of the window pixel.
    *x = int(FloorDiv((2 * dx + 1) * screenW, 2 * std::int64_t(DestW())));
    *y = int(FloorDiv((2 * dy + 1) * screenH, 2 * std::int64_t(DestH())));
  }
  return px >= dest.left && px < dest.right && py >= dest.top && py < dest.bottom;
}

// ---- scaling -------------------------------------------------------------------------------

void Scaler::Axis::Configure(int from, int to) {
  first.assign(std::size_t(to), 0);
  count.assign(std::size_t(to), 0);
  offset.assign(std::size_t(to), 0);
  weights.clear();
  for (int d = 0; d < to; ++d) {
    // In units of 1/to of a device pixel: window pixel d covers [start, end).
    std::int64_t start = std::int64_t(d) * from, end = start + from;
    int i0 = int(start / to), i1 = int((end - 1) / to);
    first[std::size_t(d)] = i0;
    count[std::size_t(d)] = i1 - i0 + 1;
    offset[std::size_t(d)] = int(weights.size());
    // Rounded on the running sum, so the weights add up to exactly 256.
    std::int64_t covered = 0;
    std::uint32_t given = 0;
    for (int i = i0; i <= i1; ++i) {
      covered += std::min(end, std::int64_t(i + 1) * to) - std::max(start, std::int64_t(i) * to);
      auto upTo = std::uint32_t((covered * 256 + from / 2) / from);
      weights.push_back(upTo - given);
      given = upTo;
    }
  }
  three.clear();
  if (*std::max_element(count.begin(), count.end()) > 3) return;
  three.assign(std::size_t(to) * 3, 0u);
  for (std::size_t d = 0; d < std::size_t(to); ++d)
    for (int k = 0; k < count[d]; ++k) three[d * 3 + std::size_t(k)] = weights[std::size_t(offset[d] + k)];
  lanes.assign(std::size_t(to) * 16, 0);
  for (std::size_t d = 0; d < std::size_t(to); ++d)
    for (int k = 0; k < 4; ++k) {
      lanes[d * 16 + std::size_t(k)] = std::uint16_t(three[d * 3]);
      lanes[d * 16 + 4 + std::size_t(k)] = std::uint16_t(three[d * 3 + 1]);
      lanes[d * 16 + 12 + std::size_t(k)] = std::uint16_t(three[d * 3 + 2]);
    }
}

void Scaler::Configure(const Layout& layout) {
  layout_ = layout;
  if (layout.smooth) {
    x_.Configure(layout.screenW, layout.DestW());
    y_.Configure(layout.screenH, layout.DestH());
  }
}

void Scaler::Draw(const Surface& screen, const RECT& areaIn, std::uint32_t* dst, int pitch, int originX,
                  int originY) const {
  const Layout& l = layout_;
  RECT area = Intersect(areaIn, l.dest);
  if (RectEmpty(area) || screen.width != l.screenW || screen.height != l.screenH) return;
  auto out = [&](int X, int Y) { return dst + std::ptrdiff_t(Y - originY) * pitch + (X - originX); };
  const int w = area.right - area.left;
  if (!l.smooth) {
    const int z = l.zoom;
    // Whole device pixels only: the area is a multiple of the zoom from dest.
    int x0 = (area.left - l.dest.left) / z, x1 = (area.right - l.dest.left + z - 1) / z;
    int y0 = (area.top - l.dest.top) / z, y1 = (area.bottom - l.dest.top + z - 1) / z;
    int left = l.dest.left + x0 * z, width = (x1 - x0) * z;
    for (int y = y0; y < y1; ++y) {
      const std::uint32_t* src = screen.row(y) + x0;
      std::uint32_t* r = out(left, l.dest.top + y * z);
      if (z == 1)
        OpaqueCopy(r, src, x1 - x0);
      else
        for (int x = 0; x < x1 - x0; ++x)
          for (int k = 0; k < z; ++k) *r++ = src[x] | 0xFF000000u;
      for (int k = 1; k < z; ++k)
        std::memcpy(out(left, l.dest.top + y * z + k), out(left, l.dest.top + y * z),
                    sizeof(std::uint32_t) * std::size_t(width));
    }
    return;
  }
  // Smooth: each window row is first the weighted sum of its device rows, then
  // each pixel that of its columns. Weights are of 256; a pixel's channels sum
  // in 16-bit lanes (blue, green, red, unused) of one 64-bit word.
  const int d0 = area.left - l.dest.left, d1 = area.right - l.dest.left;
  const int c0 = x_.first[std::size_t(d0)];
  const int c1 = x_.first[std::size_t(d1 - 1)] + x_.count[std::size_t(d1 - 1)];
  const std::size_t span = std::size_t(c1 - c0);
  constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull, kHalf = 0x0080008000800080ull;
  auto spread = [](std::uint32_t p) {
    std::uint64_t x = p & 0x00FFFFFFu;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    return (x | (x << 8)) & kLanes;
  };
  row_.resize(span + 2);
  std::vector<const std::uint32_t*>& from = rows_;
  for (int Y = area.top; Y < area.bottom; ++Y) {
    auto d = std::size_t(Y - l.dest.top);
    const std::uint32_t* wy = y_.weights.data() + y_.offset[d];
    const int rows = y_.count[d];
    from.resize(std::size_t(rows));
    for (int j = 0; j < rows; ++j) from[std::size_t(j)] = screen.row(y_.first[d] + j) + c0;
    std::uint64_t* sums = row_.data();
    // Two pixels at a time in eight 16-bit lanes (the compiler's vectors),
    // all their device rows at once; an odd last one alone.
    const std::size_t pairs = span / 2;
    if (rows == 2) {  // the usual case, unrolled
      const std::uint32_t *r0 = from[0], *r1 = from[1];
      const auto w0 = std::uint16_t(wy[0]), w1 = std::uint16_t(wy[1]);
      for (std::size_t k = 0; k < pairs; ++k) {
        Bytes8 b0, b1;
        std::memcpy(&b0, r0 + 2 * k, sizeof b0);
        std::memcpy(&b1, r1 + 2 * k, sizeof b1);
        Lanes8 sum = __builtin_convertvector(b0, Lanes8) * w0 + __builtin_convertvector(b1, Lanes8) * w1;
        sum = (sum + 128) >> 8;
        std::memcpy(sums + 2 * k, &sum, sizeof sum);
      }
    }
    for (std::size_t k = rows == 2 ? pairs : 0; k < pairs; ++k) {
      Lanes8 sum = {};
      for (int j = 0; j < rows; ++j) {
        Bytes8 b;
        std::memcpy(&b, from[std::size_t(j)] + 2 * k, sizeof b);
        sum += __builtin_convertvector(b, Lanes8) * std::uint16_t(wy[j]);
      }
      sum = (sum + 128) >> 8;  // back to 0..255
      std::memcpy(sums + 2 * k, &sum, sizeof sum);
    }
    if (span % 2) {
      std::uint64_t v = 0;
      for (int j = 0; j < rows; ++j) v += std::uint64_t(wy[j]) * spread(from[std::size_t(j)][span - 1]);
      sums[span - 1] = ((v + kHalf) >> 8) & kLanes;
    }
    auto pack = [](std::uint64_t v) {
      v = ((v + kHalf) >> 8) & kLanes;
      v = (v | (v >> 8)) & 0x0000FFFF0000FFFFull;
      return 0xFF000000u | std::uint32_t(v | (v >> 16));
    };
    std::uint32_t* o = out(area.left, Y);
    if (!x_.three.empty()) {
      sums[span] = sums[span + 1] = 0;  // under the zero weights past the row
      // Per window pixel: its first two device pixels times the first two
      // weights, plus the second and third times nothing and the third
      // weight; the halves of that added give the pixel. Two window pixels
      // at a time.
      auto weighed = [&](std::size_t dx) {
        const std::uint64_t* p = sums + (x_.first[dx] - c0);
        const std::uint16_t* wx = x_.lanes.data() + dx * 16;
        Lanes8 a, b, wa, wb;
        std::memcpy(&a, p, sizeof a);
        std::memcpy(&b, p + 1, sizeof b);
        std::memcpy(&wa, wx, sizeof wa);
        std::memcpy(&wb, wx + 8, sizeof wb);
        return a * wa + b * wb;
      };
      int X = 0;
      for (; X + 2 <= w; X += 2) {
        auto dx = std::size_t(d0 + X);
        Lanes8 u = weighed(dx), v = weighed(dx + 1);
        Lanes8 lo = __builtin_shufflevector(u, v, 0, 1, 2, 3, 8, 9, 10, 11);
        Lanes8 hi = __builtin_shufflevector(u, v, 4, 5, 6, 7, 12, 13, 14, 15);
        Lanes8 sum = (lo + hi + 128) >> 8;
        Bytes8 bytes = __builtin_convertvector(sum, Bytes8);
        std::uint32_t two[2];
        std::memcpy(two, &bytes, sizeof two);
        o[X] = two[0] | 0xFF000000u;
        o[X + 1] = two[1] | 0xFF000000u;
      }
      for (; X < w; ++X) {
        auto dx = std::size_t(d0 + X);
        const std::uint32_t* wx = x_.three.data() + dx * 3;
        const std::uint64_t* p = sums + (x_.first[dx] - c0);
        o[X] = pack(wx[0] * p[0] + wx[1] * p[1] + wx[2] * p[2]);
      }
      continue;
    }
    for (int X = 0; X < w; ++X) {
      auto dx = std::size_t(d0 + X);
      const std::uint32_t* wx = x_.weights.data() + x_.offset[dx];
      const std::uint64_t* p = sums + (x_.first[dx] - c0);
      std::uint64_t v = 0;
      for (int i = 0; i < x_.count[dx]; ++i) v += wx[i] * p[i];
      o[X] = pack(v);
    }
  }
}

// ---- what changed --------------------------------------------------------------------------

void Writes::Add(const RECT& rIn) {
  constexpr std::size_t kMost = 8;
  if (RectEmpty(rIn)) return;
  RECT r = rIn;
  for (;;) {
    bool merged = false;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
      const RECT& e = rects_[i];
      if (Contains(e, r)) return;
      RECT u = Union(e, r);
      // Overlapping, touching or near ones become one when little is added.
      if (Contains(r, e) || Area(u) <= (Area(e) + Area(r)) * 5 / 4 + 64) {
        r = u;
        rects_.erase(rects_.begin() + std::ptrdiff_t(i));
        merged = true;
        break;
      }
    }
    if (merged) continue;
    if (rects_.size() < kMost) break;
    // Full: into the one that grows least.
    std::size_t best = 0;
    std::int64_t growth = -1;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
      std::int64_t g = Area(Union(rects_[i], r)) - Area(rects_[i]);
      if (growth < 0 || g < growth) growth = g, best = i;
    }
    r = Union(rects_[best], r);
    rects_.erase(rects_.begin() + std::ptrdiff_t(best));
  }
  rects_.push_back(r);
}

std::vector<RECT> Writes::Take() {
  std::vector<RECT> out;
  out.swap(rects_);
  return out;
}

std::vector<RECT> Shown::Take(const Surface& screen, const std::vector<RECT>& written) {
  if (!valid_ || pixels_.width != screen.width || pixels_.height != screen.height) {
    pixels_ = screen;
    valid_ = true;
    return {RECT{0, 0, screen.width, screen.height}};
  }
  std::vector<RECT> changed;
  const RECT all{0, 0, screen.width, screen.height};
  for (const RECT& w : written) {
    RECT r = Intersect(w, all);
    if (RectEmpty(r)) continue;
    const std::size_t bytes = sizeof(std::uint32_t) * std::size_t(r.right - r.left);
    // Rows are compared whole; in a row that differs, only the columns outside
    // what the rows before found are looked at.
    int top = r.bottom, bottom = r.top, left = r.right, right = r.left;
    for (int y = r.top; y < r.bottom; ++y) {
      const std::uint32_t* a = screen.row(y);
      std::uint32_t* b = pixels_.row(y);
      // (std::equal, not memcmp: the page's C library compares a byte at a
      // time; on the desktop, libstdc++ makes std::equal a memcmp anyway.)
      if (std::equal(a + r.left, a + r.right, b + r.left)) continue;
      top = std::min(top, y);
      bottom = y + 1;
      // Eight pixels at a time, then one.
      constexpr int kRun = 8;
      int x = r.left;
      while (x + kRun <= left && std::equal(a + x, a + x + kRun, b + x)) x += kRun;
      while (x < left && a[x] == b[x]) ++x;
      left = x;
      x = r.right;
      while (x - kRun >= right && std::equal(a + x - kRun, a + x, b + x - kRun)) x -= kRun;
      while (x > right && a[x - 1] == b[x - 1]) --x;
      right = x;
      std::memcpy(b + r.left, a + r.left, bytes);
    }
    if (top >= bottom) continue;
    RECT c{left, top, right, bottom};
    changed.push_back(c);
  }
  return changed;
}

namespace {
// Whether eight device pixels show as eight window pixels.
bool Same8(const std::uint32_t* device, const std::uint32_t* window) {
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
  auto load = [](const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  __m128i same = _mm_and_si128(_mm_cmpeq_epi32(_mm_or_si128(load(device), alpha), load(window)),
                               _mm_cmpeq_epi32(_mm_or_si128(load(device + 4), alpha), load(window + 4)));
  return _mm_movemask_epi8(same) == 0xFFFF;
#else
  std::uint32_t x = 0;
  for (int i = 0; i < 8; ++i) x |= (device[i] | 0xFF000000u) ^ window[i];
  return x == 0;
#endif
}
}  // namespace

std::vector<RECT> DrawChanged(const Surface& screen, const std::vector<RECT>& written, const Layout& l,
                              std::uint32_t* dst, int pitch) {
  std::vector<RECT> changed;
  if (l.smooth || l.zoom != 1 || screen.width != l.screenW || screen.height != l.screenH) return changed;
  const RECT all{0, 0, screen.width, screen.height};
  for (const RECT& w : written) {
    RECT r = Intersect(w, all);
    if (RectEmpty(r)) continue;
    int top = r.bottom, bottom = r.top, left = r.right, right = r.left;
    for (int y = r.top; y < r.bottom; ++y) {
      const std::uint32_t* a = screen.row(y);
      std::uint32_t* b = dst + std::ptrdiff_t(l.dest.top + y) * pitch + l.dest.left;
      // The row's first and last differing pixels, eight at a time, then one.
      int x = r.left;
      while (x + 8 <= r.right && Same8(a + x, b + x)) x += 8;
      while (x < r.right && (a[x] | 0xFF000000u) == b[x]) ++x;
      if (x == r.right) continue;
      int end = r.right;
      while (end - 8 >= x && Same8(a + end - 8, b + end - 8)) end -= 8;
      while (end > x && (a[end - 1] | 0xFF000000u) == b[end - 1]) --end;
      OpaqueCopy(b + x, a + x, end - x);
      top = std::min(top, y);
      bottom = y + 1;
      left = std::min(left, x);
      right = std::max(right, end);
    }
    if (top < bottom) changed.push_back(RECT{left, top, right, bottom});
  }
  return changed;
}

}  // namespace ce::frame

namespace ce {

namespace {
bool g_screenDirty = true;
}  // namespace

frame::Writes& ScreenWrites() {
  static frame::Writes writes;
  return writes;
}

void ScreenWritten(const RECT& r) {
  g_screenDirty = true;
  ScreenWrites().Add(r);
}

bool ScreenDirty() {
  return g_screenDirty;
}

void SetScreenDirty(bool dirty) {
  g_screenDirty = dirty;
}

}  // namespace ce
