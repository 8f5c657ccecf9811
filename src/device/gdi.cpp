// Drawing objects, drawing contexts and the pixel operations over them.
//
// Every operation works in target coordinates: device coordinates plus the
// context's origin, clipped to the context's clip region and to the target.
// Clipping happens once per call, before any pixel loop; opaque copies move
// whole rows with memcpy.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "device/internal.h"

namespace ce {
namespace {

constexpr COLORREF kInvalidColor = 0xFFFFFFFFu;  // the handheld's CLR_INVALID
constexpr int kMaxBitmapSide = 8192;
// Coordinates from callers are clamped to this before any arithmetic so that
// nothing overflows; it is far outside any surface.
constexpr long long kCoordLimit = 1 << 28;

// ---- object lifetime -------------------------------------------------------
//
// Handles are raw pointers, so the set of live objects is kept here: a handle
// that was deleted is refused instead of dereferenced. An object deleted while
// selected somewhere stays alive until the last context lets go of it.
struct Life {
  int selected = 0;
  bool deletePending = false;
  bool stock = false;
};

std::unordered_map<const GdiObject*, Life>& Objects() {
  static std::unordered_map<const GdiObject*, Life> objects;
  return objects;
}

HGDIOBJ Register(GdiObject* object) {
  Objects().emplace(object, Life{});
  return object;
}

// A handle is looked up before it is dereferenced: stale handles are refused.
bool Alive(const GdiObject* object) {
  return object != nullptr && Objects().count(object) != 0;
}

// Stock objects and live, not-yet-deleted objects may be selected.
bool Usable(const GdiObject* object) {
  if (object == nullptr) return false;
  auto it = Objects().find(object);
  return it != Objects().end() && (it->second.stock || !it->second.deletePending);
}

void Retain(GdiObject* object) {
  if (object == nullptr || object->stock) return;
  auto it = Objects().find(object);
  if (it != Objects().end()) ++it->second.selected;
}

void Release(GdiObject* object) {
  if (object == nullptr || object->stock) return;
  auto it = Objects().find(object);
  if (it == Objects().end()) return;
  if (--it->second.selected <= 0 && it->second.deletePending) {
    Objects().erase(it);
    delete object;
  }
}

GdiObject* MakeStock(GdiKind kind) {
  auto* o = new GdiObject(kind);
  o->stock = true;
  Objects().emplace(o, Life{0, false, true});
  return o;
}

struct StockObjects {
  GdiObject* whiteBrush;
  GdiObject* ltGrayBrush;
  GdiObject* grayBrush;
  GdiObject* dkGrayBrush;
  GdiObject* blackBrush;
  GdiObject* nullBrush;
  GdiObject* whitePen;
  GdiObject* blackPen;
  GdiObject* nullPen;
  GdiObject* systemFont;
  GdiObject* bitmap;  // the 1x1 bitmap of a fresh memory context
};

// Created once and never freed: contexts may point at them until exit.
const StockObjects& Stock() {
  static const StockObjects stock = [] {
    auto brush = [](COLORREF c) {
      GdiObject* o = MakeStock(GdiKind::Brush);
      o->color = c;
      return o;
    };
    auto pen = [](int style, COLORREF c) {
      GdiObject* o = MakeStock(GdiKind::Pen);
      o->penStyle = style;
      o->color = c;
      return o;
    };
    StockObjects s{};
    s.whiteBrush = brush(RGB(255, 255, 255));
    s.ltGrayBrush = brush(RGB(192, 192, 192));
    s.grayBrush = brush(RGB(128, 128, 128));
    s.dkGrayBrush = brush(RGB(64, 64, 64));
    s.blackBrush = brush(RGB(0, 0, 0));
    s.nullBrush = brush(RGB(0, 0, 0));
    s.nullBrush->nullBrush = true;
    s.whitePen = pen(PS_SOLID, RGB(255, 255, 255));
    s.blackPen = pen(PS_SOLID, RGB(0, 0, 0));
    s.nullPen = pen(PS_NULL, RGB(0, 0, 0));
    s.systemFont = MakeStock(GdiKind::Font);
    s.systemFont->logfont.lfHeight = 13;
    s.systemFont->logfont.lfWeight = FW_NORMAL;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), s.systemFont->logfont.lfFaceName);
    s.bitmap = MakeStock(GdiKind::Bitmap);
    s.bitmap->surface = std::make_shared<Surface>(1, 1);
    return s;
  }();
  return stock;
}

// ---- clipping ------------------------------------------------------------------

long long Clamp(long long v) {
  return std::clamp(v, -kCoordLimit, kCoordLimit);
}

// A rectangle in target coordinates from device coordinates of dc.
RECT ToTarget(const DeviceContext* dc, long long left, long long top, long long right, long long bottom) {
  return RECT{LONG(Clamp(left + dc->originX)), LONG(Clamp(top + dc->originY)),
              LONG(Clamp(right + dc->originX)), LONG(Clamp(bottom + dc->originY))};
}

RECT TargetBounds(const DeviceContext* dc) {
  return RECT{0, 0, dc->target->width, dc->target->height};
}

bool Drawable(const DeviceContext* dc) {
  return dc != nullptr && dc->target != nullptr && dc->target->width > 0 && dc->target->height > 0;
}

// Calls f for each visible piece of r (target coordinates) and tells the
// presenter what a screen context touched: the piece, or the part of it that
// f returns when it returns one.
template <class F>
void ForEachPiece(DeviceContext* dc, RECT r, F&& f) {
  r = Intersect(r, TargetBounds(dc));
  if (RectEmpty(r)) return;
  RECT touched{0, 0, 0, 0};
  for (const RECT& c : dc->clip.Rects()) {
    RECT p = Intersect(r, c);
    if (RectEmpty(p)) continue;
    if constexpr (std::is_same_v<decltype(f(p)), RECT>) {
      p = f(p);
      if (RectEmpty(p)) continue;
    } else {
      f(p);
    }
    if (RectEmpty(touched)) {
      touched = p;
    } else {
      touched = RECT{std::min(touched.left, p.left), std::min(touched.top, p.top),
                     std::max(touched.right, p.right), std::max(touched.bottom, p.bottom)};
    }
  }
  if (!dc->memory && !RectEmpty(touched)) ScreenChanged(touched);
}

bool Visible(const DeviceContext* dc, int x, int y) {
  return x >= 0 && y >= 0 && x < dc->target->width && y < dc->target->height && dc->clip.Contains(x, y);
}

void FillTarget(DeviceContext* dc, const RECT& r, std::uint32_t pixel) {
  Surface& s = *dc->target;
  ForEachPiece(dc, r, [&](const RECT& p) {
    for (int y = p.top; y < p.bottom; ++y) std::fill_n(s.row(y) + p.left, p.right - p.left, pixel);
  });
}

// ---- copies ----------------------------------------------------------------------

// Scratch for copies whose source and destination overlap; kept to avoid an
// allocation per call.
std::vector<std::uint32_t>& Scratch() {
  static std::vector<std::uint32_t> scratch;
  return scratch;
}
std::vector<int>& ColumnMap() {
  static std::vector<int> map;
  return map;
}

// Where the source pixel for destination (x, y) lives: base + (y + dy) * stride + (x + dx).
struct SourceView {
  const std::uint32_t* base;
  long long stride;
  long long dx;
  long long dy;
  const std::uint32_t* at(int x, int y) const { return base + ((y + dy) * stride + dx + x); }
};

// out[i] = in[i] except where in[i] is the key. Four pixels at a time through
// the compiler's vector extension (plain SSE2 on x86-64); the scalar loop does
// not vectorise because out and in may alias.
void KeyedRow(std::uint32_t* out, const std::uint32_t* in, int n, std::uint32_t key) {
  using V = std::uint32_t __attribute__((vector_size(16)));
  int i = 0;
  const V k = {key, key, key, key};
  for (; i + 4 <= n; i += 4) {
    V a, b;
    std::memcpy(&a, in + i, sizeof a);
    std::memcpy(&b, out + i, sizeof b);
    V keep = V(a == k);  // all ones where the source is the key
    V r = (b & keep) | (a & ~keep);
    std::memcpy(out + i, &r, sizeof r);
  }
  for (; i < n; ++i) out[i] = in[i] == key ? out[i] : in[i];
}

// Same-size copies to the screen, remembered. The game copies its board to the
// screen on every tick: a copy from an unchanged source to a part of the
// screen that still holds it has nothing to do, and a copy whose rows mostly
// differed from the screen's last time is made without comparing them first.
// A write to the screen marks the copies it touches as no longer held; a write
// to the source gives it a new stamp.
struct ScreenCopy {
  std::uint64_t screen = 0;    // the screen surface's id
  std::uint64_t sourceId = 0;  // the source surface's id
  std::uint64_t source = 0;    // and its stamp when copied
  RECT d{};
  int ox = 0;
  int oy = 0;
  std::vector<RECT> clip;
  bool held = false;     // the screen still holds this copy's pixels
  bool differed = false;  // most rows differed when last compared
  int unchecked = 0;      // copies made since without comparing
};
constexpr std::size_t kScreenCopies = 16;
// A copy made without comparing is compared again after this many.
constexpr int kMostUnchecked = 8;

std::vector<ScreenCopy>& ScreenCopies() {
  static std::vector<ScreenCopy> copies;
  return copies;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameRects(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameRect);
}

// The remembered copy from this source to this part of the screen, or a new one.
ScreenCopy& RememberedCopy(const Surface& screen, const Surface& source, const RECT& d, int ox, int oy,
                           const std::vector<RECT>& clip) {
  auto& copies = ScreenCopies();
  for (ScreenCopy& c : copies) {
    if (c.screen == screen.id && c.sourceId == source.id && c.ox == ox && c.oy == oy && SameRect(c.d, d) &&
        SameRects(c.clip, clip))
      return c;
  }
  if (copies.size() >= kScreenCopies) copies.erase(copies.begin());
  copies.push_back(ScreenCopy{screen.id, source.id, 0, d, ox, oy, clip});
  return copies.back();
}

// A same-size copy of the dst rectangle d (target coordinates) from src at
// offset (ox, oy) = source minus destination. Keyed copies leave out pixels equal
// to the key.
bool CopySameSize(DeviceContext* dst, RECT d, DeviceContext* src, int ox, int oy, bool keyed,
                  std::uint32_t key) {
  const Surface& s = *src->target;
  Surface& t = *dst->target;
  // Only source pixels that exist are copied.
  d = Intersect(d, RECT{-ox, -oy, s.width - ox, s.height - oy});
  d = Intersect(d, TargetBounds(dst));
  if (RectEmpty(d)) return true;
  ScreenCopy* last = nullptr;
  if (!dst->memory && !keyed && &s != &t) {
    last = &RememberedCopy(t, s, d, ox, oy, dst->clip.Rects());
    if (last->held && last->source == s.stamp) return true;
  }
  SourceView view{s.pixels.data(), s.width, ox, oy};
  if (&s == &t) {
    RECT from = Offset(d, ox, oy);
    if (!RectEmpty(Intersect(from, d))) {
      // Overlapping source and destination: copy the source away first.
      int w = d.right - d.left;
      int h = d.bottom - d.top;
      auto& scratch = Scratch();
      scratch.resize(std::size_t(w) * h);
      for (int y = 0; y < h; ++y)
        std::memcpy(&scratch[std::size_t(y) * w], s.row(from.top + y) + from.left, std::size_t(w) * 4);
      view = SourceView{scratch.data(), w, -d.left, -d.top};
    }
  }
  // On the screen, rows that already hold the source are left as they are and
  // not reported: a window painted again unchanged costs the presenter nothing.
  const bool screen =
      !dst->memory && !keyed && !(last && last->differed && last->unchecked < kMostUnchecked);
  int rows = 0, differing = 0;
  ForEachPiece(dst, d, [&](const RECT& p) {
    int w = p.right - p.left;
    RECT written{p.left, p.bottom, p.right, p.top};
    for (int y = p.top; y < p.bottom; ++y) {
      std::uint32_t* out = t.row(y) + p.left;
      const std::uint32_t* in = view.at(p.left, y);
      if (screen) {
        ++rows;
        if (std::memcmp(out, in, std::size_t(w) * 4) == 0) continue;
        ++differing;
        written.top = std::min<LONG>(written.top, y);
        written.bottom = y + 1;
      }
      if (!keyed) {
        std::memcpy(out, in, std::size_t(w) * 4);
      } else {
        KeyedRow(out, in, w, key);
      }
    }
    return screen ? written : p;
  });
  if (last) {
    last->held = true;
    last->source = s.stamp;
    last->unchecked = screen ? 0 : last->unchecked + 1;
    if (screen) last->differed = differing * 2 > rows;
  }
  return true;
}

// Nearest-neighbour stretch of the source rectangle sr (target coordinates of
// src) onto d (target coordinates of dst).
bool CopyStretched(DeviceContext* dst, const RECT& d, DeviceContext* src, const RECT& sr, bool keyed,
                   std::uint32_t key) {
  const Surface& s = *src->target;
  Surface& t = *dst->target;
  long long dw = d.right - d.left;
  long long dh = d.bottom - d.top;
  long long sw = sr.right - sr.left;
  long long sh = sr.bottom - sr.top;
  RECT visible = Intersect(d, TargetBounds(dst));
  if (RectEmpty(visible)) return true;
  // Source column of every visible destination column; -1 where the source has none.
  auto& map = ColumnMap();
  map.resize(std::size_t(visible.right - visible.left));
  for (int x = visible.left; x < visible.right; ++x) {
    long long sx = sr.left + (x - d.left) * sw / dw;
    map[std::size_t(x - visible.left)] = sx >= 0 && sx < s.width ? int(sx) : -1;
  }
  // A stretch within one surface reads from a copy of it.
  const Surface* from = &s;
  Surface copy;
  if (&s == &t) {
    copy = s;
    from = &copy;
  }
  ForEachPiece(dst, visible, [&](const RECT& p) {
    for (int y = p.top; y < p.bottom; ++y) {
      long long sy = sr.top + (y - d.top) * sh / dh;
      if (sy < 0 || sy >= from->height) continue;
      const std::uint32_t* in = from->row(int(sy));
      std::uint32_t* out = t.row(y);
      for (int x = p.left; x < p.right; ++x) {
        int sx = map[std::size_t(x - visible.left)];
        if (sx < 0) continue;
        std::uint32_t v = in[sx];
        if (!keyed || v != key) out[x] = v;
      }
    }
  });
  return true;
}

bool Blit(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, bool keyed,
          COLORREF key) {
  if (!Drawable(dst) || !Drawable(src)) return false;
  if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return width == 0 || height == 0;
  RECT d = ToTarget(dst, x, y, (long long)x + width, (long long)y + height);
  RECT s = ToTarget(src, sx, sy, (long long)sx + sw, (long long)sy + sh);
  std::uint32_t keyPixel = ToPixel(key);
  if (width == sw && height == sh) {
    return CopySameSize(dst, d, src, s.left - d.left, s.top - d.top, keyed, keyPixel);
  }
  return CopyStretched(dst, d, src, s, keyed, keyPixel);
}

// ---- shapes --------------------------------------------------------------------------

// The columns [left, right) of row y (pixel centres at +0.5) inside the
// rounded rectangle r with corner ellipse ew x eh; false when the row is empty.
bool RoundSpan(const RECT& r, int ew, int eh, int y, int* left, int* right) {
  if (y < r.top || y >= r.bottom || RectEmpty(r)) return false;
  ew = std::clamp(ew, 0, int(r.right - r.left));
  eh = std::clamp(eh, 0, int(r.bottom - r.top));
  int inset = 0;
  if (ew > 1 && eh > 1) {
    double a = ew / 2.0;
    double b = eh / 2.0;
    double cy = y + 0.5;
    double dy = 0;
    if (cy < r.top + b) {
      dy = r.top + b - cy;
    } else if (cy > r.bottom - b) {
      dy = cy - (r.bottom - b);
    }
    double t = 1.0 - (dy / b) * (dy / b);
    double dx = a * std::sqrt(t > 0 ? t : 0);
    inset = int(std::lround(a - dx));
  }
  *left = r.left + inset;
  *right = r.right - inset;
  return *left < *right;
}

void FillSpan(DeviceContext* dc, int y, int left, int right, std::uint32_t pixel) {
  if (left >= right || y < 0 || y >= dc->target->height) return;
  std::uint32_t* row = dc->target->row(y);
  for (const RECT& c : dc->clip.Rects()) {
    if (y < c.top || y >= c.bottom) continue;
    int l = std::max({left, int(c.left), 0});
    int r = std::min({right, int(c.right), dc->target->width});
    if (l < r) std::fill_n(row + l, r - l, pixel);
  }
}

// A filled rounded rectangle with an outline of the pen's width drawn inside
// its edges; ew = eh = 0 gives square corners, ew x eh = the box an ellipse.
bool DrawShape(HDC hdc, int left, int top, int right, int bottom, int ew, int eh) {
  if (!Drawable(hdc)) return false;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  RECT outer = ToTarget(hdc, left, top, right, bottom);
  if (RectEmpty(outer)) return true;
  const GdiObject* pen = hdc->pen;
  const GdiObject* brush = hdc->brush;
  int penWidth = (pen == nullptr || pen->penStyle == PS_NULL) ? 0 : std::max(1, pen->penWidth);
  bool fill = brush != nullptr && !brush->nullBrush;
  std::uint32_t penPixel = pen ? ToPixel(pen->color) : 0;
  std::uint32_t brushPixel = brush ? ToPixel(brush->color) : 0;
  RECT inner{outer.left + penWidth, outer.top + penWidth, outer.right - penWidth, outer.bottom - penWidth};
  int innerEw = std::max(0, ew - 2 * penWidth);
  int innerEh = std::max(0, eh - 2 * penWidth);
  RECT rows = Intersect(Intersect(outer, TargetBounds(hdc)), hdc->clip.Bounds());
  for (int y = rows.top; y < rows.bottom; ++y) {
    int ol, orr;
    if (!RoundSpan(outer, ew, eh, y, &ol, &orr)) continue;
    int il, ir;
    if (RectEmpty(inner) || !RoundSpan(inner, innerEw, innerEh, y, &il, &ir)) {
      if (penWidth > 0) FillSpan(hdc, y, ol, orr, penPixel);
      continue;
    }
    if (penWidth > 0) {
      FillSpan(hdc, y, ol, il, penPixel);
      FillSpan(hdc, y, ir, orr, penPixel);
    }
    if (fill) FillSpan(hdc, y, il, ir, brushPixel);
  }
  if (!hdc->memory && !RectEmpty(rows)) ScreenChanged(rows);
  return true;
}

// A line with the current pen from a to b (device coordinates), without its
// last point. Wide pens stamp a square of the pen's width at every point.
void DrawLine(HDC hdc, POINT a, POINT b) {
  const GdiObject* pen = hdc->pen;
  if (pen == nullptr || pen->penStyle == PS_NULL) return;
  int w = std::max(1, pen->penWidth);
  std::uint32_t pixel = ToPixel(pen->color);
  long long x0 = Clamp((long long)a.x + hdc->originX), y0 = Clamp((long long)a.y + hdc->originY);
  long long x1 = Clamp((long long)b.x + hdc->originX), y1 = Clamp((long long)b.y + hdc->originY);
  long long dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
  long long stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
  int lo = (w - 1) / 2;  // a 2-pixel pen covers the point and the one right of / below it
  RECT area{LONG(std::min(x0, x1) - lo), LONG(std::min(y0, y1) - lo), LONG(std::max(x0, x1) - lo + w),
            LONG(std::max(y0, y1) - lo + w)};
  area = Intersect(Intersect(area, TargetBounds(hdc)), hdc->clip.Bounds());
  if (RectEmpty(area)) return;
  long long err = dx + dy;
  long long x = x0, y = y0;
  // Points far outside the target still have to be walked for the line to
  // reach the visible part; the walk is bounded by the clamped coordinates.
  while (x != x1 || y != y1) {
    if (w == 1) {
      if (Visible(hdc, int(x), int(y))) hdc->target->row(int(y))[x] = pixel;
    } else if (x - lo < area.right && x - lo + w > area.left && y - lo < area.bottom &&
               y - lo + w > area.top) {
      for (int j = 0; j < w; ++j) FillSpan(hdc, int(y - lo + j), int(x - lo), int(x - lo + w), pixel);
    }
    long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += stepX;
    }
    if (e2 <= dx) {
      err += dx;
      y += stepY;
    }
  }
  if (!hdc->memory) ScreenChanged(area);
}

}  // namespace

void ForgetScreenCopies(const RECT& r) {
  auto& copies = ScreenCopies();
  for (ScreenCopy& c : copies)
    if (c.held)
      for (const RECT& piece : c.clip)
        if (!RectEmpty(Intersect(Intersect(c.d, piece), r))) c.held = false;
}

GdiObject::~GdiObject() {
  if (kind == GdiKind::Font) FontClose(this);
}

// ---- contexts --------------------------------------------------------------------------

void InitDeviceContext(DeviceContext* dc) {
  if (dc == nullptr) return;
  const StockObjects& s = Stock();
  dc->brush = s.whiteBrush;
  dc->pen = s.blackPen;
  dc->font = s.systemFont;
  dc->textColor = RGB(0, 0, 0);
  dc->bkColor = RGB(255, 255, 255);
  dc->bkMode = OPAQUE;
  dc->penPos = POINT{0, 0};
  if (dc->memory && dc->bitmap == nullptr) dc->bitmap = s.bitmap;
}

void RefreshMemoryDC(DeviceContext* dc) {
  if (dc == nullptr || !dc->memory) return;
  Surface* s = dc->bitmap != nullptr ? dc->bitmap->surface.get() : nullptr;
  dc->target = s;
  dc->originX = 0;
  dc->originY = 0;
  dc->clip.Clear();
  if (s != nullptr) dc->clip.Add(RECT{0, 0, s->width, s->height});
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new DeviceContext;
  dc->memory = true;
  InitDeviceContext(dc);
  RefreshMemoryDC(dc);
  return dc;
}

// Any context made with new: memory contexts and, through the window system,
// window and paint contexts. Lets go of everything selected into it.
BOOL DeleteDC(HDC hdc) {
  if (hdc == nullptr) return FALSE;
  Release(hdc->bitmap);
  Release(hdc->brush);
  Release(hdc->pen);
  Release(hdc->font);
  delete hdc;
  return TRUE;
}

// ---- objects ------------------------------------------------------------------------------

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
  auto* o = new GdiObject(GdiKind::Bitmap);
  o->surface = std::make_shared<Surface>(width, height);
  return Register(o);
}

namespace {
GdiObject* LoadPicture(LPCWSTR name, const char* type, GdiKind kind) {
  if (name == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  auto id = std::uint32_t(reinterpret_cast<std::uintptr_t>(name));
  const ResourceInfo* res = FindEmbedded(id, type);
  if (res == nullptr) return nullptr;
  std::shared_ptr<Surface> surface = DecodeBmp(res->data, res->size);
  if (!surface) return nullptr;
  auto* o = new GdiObject(kind);
  o->surface = std::move(surface);
  Register(o);
  return o;
}
}  // namespace

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  return LoadPicture(name, "BITMAP", GdiKind::Bitmap);
}

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
  return LoadPicture(name, "ICON", GdiKind::Icon);
}

BOOL DestroyIcon(HICON icon) {
  if (!Alive(icon) || icon->kind != GdiKind::Icon) return FALSE;
  return DeleteObject(icon);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* o = new GdiObject(GdiKind::Brush);
  o->color = color & 0xFFFFFFu;
  return Register(o);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID && style != PS_NULL) return nullptr;
  auto* o = new GdiObject(GdiKind::Pen);
  o->penStyle = style;
  o->penWidth = std::clamp(width, 1, 1024);  // 0 means one pixel, as on the handheld
  o->color = color & 0xFFFFFFu;
  return Register(o);
}

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (lf == nullptr) return nullptr;
  auto* o = new GdiObject(GdiKind::Font);
  o->logfont = *lf;
  o->logfont.lfFaceName[31] = 0;
  return Register(o);
}

HGDIOBJ GetStockObject(int index) {
  const StockObjects& s = Stock();
  switch (index) {
    case WHITE_BRUSH:
      return s.whiteBrush;
    case LTGRAY_BRUSH:
      return s.ltGrayBrush;
    case GRAY_BRUSH:
      return s.grayBrush;
    case 3:
      return s.dkGrayBrush;  // DKGRAY_BRUSH
    case BLACK_BRUSH:
      return s.blackBrush;
    case NULL_BRUSH:
      return s.nullBrush;
    case WHITE_PEN:
      return s.whitePen;
    case BLACK_PEN:
      return s.blackPen;
    case NULL_PEN:
      return s.nullPen;
    case SYSTEM_FONT:
      return s.systemFont;
    default:
      return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ object) {
  auto it = Objects().find(object);
  if (object == nullptr || it == Objects().end() || it->second.deletePending) return FALSE;
  if (it->second.stock) return TRUE;  // stock objects are never deleted
  if (it->second.selected > 0) {
    // Still selected: freed when the last context lets go of it.
    it->second.deletePending = true;
    return TRUE;
  }
  Objects().erase(it);
  delete object;
  return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
  if (!Alive(object)) return 0;
  if (object->kind == GdiKind::Bitmap || object->kind == GdiKind::Icon) {
    if (out == nullptr) return int(sizeof(BITMAP));
    if (size < int(sizeof(BITMAP)) || !object->surface) return 0;
    BITMAP bm{};
    bm.bmWidth = object->surface->width;
    bm.bmHeight = object->surface->height;
    bm.bmWidthBytes = object->surface->width * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    std::memcpy(out, &bm, sizeof bm);
    return int(sizeof bm);
  }
  if (object->kind == GdiKind::Font) {
    if (out == nullptr) return int(sizeof(LOGFONTW));
    if (size < int(sizeof(LOGFONTW))) return 0;
    std::memcpy(out, &object->logfont, sizeof(LOGFONTW));
    return int(sizeof(LOGFONTW));
  }
  return 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  if (hdc == nullptr || !Usable(object)) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (object->kind) {
    case GdiKind::Bitmap:
      if (!hdc->memory) return nullptr;
      // A bitmap lives in one memory context at a time.
      if (!object->stock && object != hdc->bitmap && Objects()[object].selected > 0) return nullptr;
      slot = &hdc->bitmap;
      break;
    case GdiKind::Brush:
      slot = &hdc->brush;
      break;
    case GdiKind::Pen:
      slot = &hdc->pen;
      break;
    case GdiKind::Font:
      slot = &hdc->font;
      break;
    case GdiKind::Icon:
      return nullptr;
  }
  HGDIOBJ previous = *slot;
  if (previous == object) return previous;
  Retain(object);
  *slot = object;
  if (object->kind == GdiKind::Bitmap) RefreshMemoryDC(hdc);
  Release(previous);
  return previous;
}

// ---- drawing --------------------------------------------------------------------------------

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
  if (rop != SRCCOPY && dst != nullptr && src != nullptr)
    CE_UNIMPLEMENTED("BitBlt with a raster operation other than SRCCOPY");
  return Blit(dst, x, y, width, height, src, sx, sy, width, height, false, 0) ? TRUE : FALSE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
  if (rop != SRCCOPY && dst != nullptr && src != nullptr)
    CE_UNIMPLEMENTED("StretchBlt with a raster operation other than SRCCOPY");
  return Blit(dst, x, y, width, height, src, sx, sy, sw, sh, false, 0) ? TRUE : FALSE;
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                    COLORREF key) {
  return Blit(dst, x, y, width, height, src, sx, sy, sw, sh, true, key) ? TRUE : FALSE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  if (!Drawable(hdc) || rect == nullptr || !Usable(brush) || brush->kind != GdiKind::Brush) return 0;
  if (brush->nullBrush) return 1;
  FillTarget(hdc, ToTarget(hdc, rect->left, rect->top, rect->right, rect->bottom), ToPixel(brush->color));
  return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return DrawShape(hdc, left, top, right, bottom, 0, 0) ? TRUE : FALSE;
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseW, int ellipseH) {
  return DrawShape(hdc, left, top, right, bottom, std::abs(ellipseW), std::abs(ellipseH)) ? TRUE : FALSE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return DrawShape(hdc, left, top, right, bottom, std::abs(right - left), std::abs(bottom - top)) ? TRUE
                                                                                                  : FALSE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  if (hdc == nullptr) return FALSE;
  if (previous != nullptr) *previous = hdc->penPos;
  hdc->penPos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  if (!Drawable(hdc)) return FALSE;
  DrawLine(hdc, hdc->penPos, POINT{x, y});
  hdc->penPos = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  if (!Drawable(hdc) || points == nullptr || count < 2) return FALSE;
  for (int i = 1; i < count; ++i) DrawLine(hdc, points[i - 1], points[i]);
  return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  if (!Drawable(hdc)) return kInvalidColor;
  long long tx = (long long)x + hdc->originX, ty = (long long)y + hdc->originY;
  if (tx < 0 || ty < 0 || tx >= hdc->target->width || ty >= hdc->target->height) return kInvalidColor;
  if (!hdc->clip.Contains(int(tx), int(ty))) return kInvalidColor;
  hdc->target->row(int(ty))[tx] = ToPixel(color);
  if (!hdc->memory) ScreenChanged(RECT{LONG(tx), LONG(ty), LONG(tx + 1), LONG(ty + 1)});
  return color & 0xFFFFFFu;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  if (!Drawable(hdc)) return kInvalidColor;
  long long tx = (long long)x + hdc->originX, ty = (long long)y + hdc->originY;
  if (tx < 0 || ty < 0 || tx >= hdc->target->width || ty >= hdc->target->height) return kInvalidColor;
  if (!hdc->clip.Contains(int(tx), int(ty))) return kInvalidColor;
  return FromPixel(hdc->target->row(int(ty))[tx]);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  if (hdc == nullptr) return kInvalidColor;
  COLORREF old = hdc->textColor;
  hdc->textColor = color & 0xFFFFFFu;
  return old;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  if (hdc == nullptr) return kInvalidColor;
  COLORREF old = hdc->bkColor;
  hdc->bkColor = color & 0xFFFFFFu;
  return old;
}

int SetBkMode(HDC hdc, int mode) {
  if (hdc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = hdc->bkMode;
  hdc->bkMode = mode;
  return old;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (hdc == nullptr || text == nullptr || rect == nullptr) return 0;
  if (!(format & DT_CALCRECT) && !Drawable(hdc)) return 0;
  return DrawTextImpl(hdc, text, count, rect, format);
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
  if (hdc == nullptr || text == nullptr || size == nullptr || count < 0) return FALSE;
  return TextExtent(hdc, text, count, size) ? TRUE : FALSE;
}

}  // namespace ce
