// Drawing contexts, objects and pixel operations, on memory contexts; and the
// BMP/PNG codecs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "device/internal.h"
#include "platform/device.h"

namespace ce {
namespace {

constexpr COLORREF kKey = RGB(255, 204, 255);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory context with its own bitmap, filled with one colour.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  int width, height;
  Canvas(int w, int h, COLORREF fill) : width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, w, h);
    old = SelectObject(dc, bitmap);
    Fill(fill);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Fill(COLORREF c) {
    std::fill_n(dc->target->row(0), std::size_t(width) * height, ToPixel(c));
  }
  COLORREF At(int x, int y) const { return FromPixel(dc->target->row(y)[x]); }
  // Every pixel a different colour.
  void Pattern() {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) dc->target->row(y)[x] = std::uint32_t(y * 1000 + x + 1);
  }
};

TEST(KeyedCopy, LeavesOutExactlyTheKeyColour) {
  // Source row: key, a colour one step from the key, red, key.
  Canvas src(4, 1, kKey);
  SetPixel(src.dc, 1, 0, RGB(255, 204, 254));
  SetPixel(src.dc, 2, 0, kRed);
  struct Case {
    const char* name;
    int width, height;  // destination size; the source is 4 x 1
  };
  for (Case c : {Case{"same size", 4, 1}, Case{"stretched", 8, 2}}) {
    SCOPED_TRACE(c.name);
    Canvas dst(8, 2, kBlue);
    ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, c.width, c.height, src.dc, 0, 0, 4, 1, kKey));
    int scale = c.width / 4;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        COLORREF expected = x / scale == 1 ? RGB(255, 204, 254) : x / scale == 2 ? kRed : kBlue;
        EXPECT_EQ(dst.At(x, y), expected) << x << "," << y;
      }
    }
  }
}

// Each operation covers the whole canvas; with a clip of two rectangles and
// an origin, exactly the clipped pixels change.
TEST(Clipping, EveryOperationStaysInsideTheClipRegion) {
  Canvas src(40, 30, kRed);
  HBRUSH brush = CreateSolidBrush(kRed);
  HPEN pen = CreatePen(PS_SOLID, 3, kRed);
  struct Case {
    const char* name;
    std::function<void(HDC)> draw;
  };
  const Case cases[] = {
      {"FillRect",
       [&](HDC dc) {
         RECT r{-5, -5, 40, 40};
         FillRect(dc, &r, brush);
       }},
      {"BitBlt", [&](HDC dc) { BitBlt(dc, -5, -5, 40, 30, src.dc, 0, 0, SRCCOPY); }},
      {"StretchBlt", [&](HDC dc) { StretchBlt(dc, -5, -5, 40, 40, src.dc, 0, 0, 20, 15, SRCCOPY); }},
      {"TransparentBlt", [&](HDC dc) { TransparentBlt(dc, -5, -5, 40, 30, src.dc, 0, 0, 40, 30, kKey); }},
      {"Rectangle",
       [&](HDC dc) {
         SelectObject(dc, brush);
         Rectangle(dc, -5, -5, 40, 40);
       }},
      {"RoundRect",
       [&](HDC dc) {
         SelectObject(dc, brush);
         RoundRect(dc, -5, -5, 40, 40, 4, 4);
       }},
      {"LineTo",
       [&](HDC dc) {
         SelectObject(dc, pen);
         for (int y = -5; y < 40; ++y) {
           MoveToEx(dc, -5, y, nullptr);
           LineTo(dc, 40, y);
         }
       }},
      {"SetPixel",
       [&](HDC dc) {
         for (int y = -5; y < 40; ++y)
           for (int x = -5; x < 40; ++x) SetPixel(dc, x, y, kRed);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas dst(30, 20, kBlue);
    // Two rectangles in target coordinates; the device origin moves drawing by (2, 1).
    dst.dc->clip = Region(RECT{0, 0, 10, 5});
    dst.dc->clip.Add(RECT{12, 8, 30, 12});
    dst.dc->originX = 2;
    dst.dc->originY = 1;
    c.draw(dst.dc);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 30; ++x) {
        bool inside = dst.dc->clip.Contains(x, y);
        EXPECT_EQ(dst.At(x, y), inside ? kRed : kBlue) << x << "," << y;
      }
    }
    SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dst.dc, GetStockObject(BLACK_PEN));
  }
  DeleteObject(brush);
  DeleteObject(pen);
}

TEST(BitBlt, OverlappingCopyWithinOneSurfaceReadsTheOriginal) {
  struct Case {
    int dx, dy;
  };
  for (Case c : {Case{3, 2}, Case{-3, -2}, Case{4, 0}, Case{0, -5}, Case{-2, 3}}) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
    Canvas canvas(20, 16, kBlack);
    canvas.Pattern();
    Surface before = *canvas.dc->target;
    // Two clip pieces, so that one piece's writes could feed the other's reads.
    canvas.dc->clip = Region(RECT{0, 0, 20, 8});
    canvas.dc->clip.Add(RECT{0, 8, 20, 16});
    canvas.dc->clip.Subtract(RECT{10, 0, 20, 8});
    ASSERT_TRUE(BitBlt(canvas.dc, 5 + c.dx, 5 + c.dy, 10, 8, canvas.dc, 5, 5, SRCCOPY));
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 20; ++x) {
        bool copied = x >= 5 + c.dx && x < 15 + c.dx && y >= 5 + c.dy && y < 13 + c.dy &&
                      canvas.dc->clip.Contains(x, y);
        std::uint32_t expected = copied ? before.row(y - c.dy)[x - c.dx] : before.row(y)[x];
        EXPECT_EQ(canvas.dc->target->row(y)[x], expected) << x << "," << y;
      }
    }
  }
}

TEST(BitBlt, CopiesOnlyWhatTheSourceHas) {
  Canvas src(4, 4, kRed);
  Canvas dst(10, 10, kBlue);
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 10, 10, src.dc, -2, -1, SRCCOPY));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(dst.At(x, y), (x >= 2 && x < 6 && y >= 1 && y < 5) ? kRed : kBlue) << x << "," << y;
}

TEST(Shapes, RoundRectOutlineIsThePenWidthInsideTheRectangle) {
  Canvas c(50, 40, kBlue);
  HPEN pen = CreatePen(PS_SOLID, 3, kBlack);
  HBRUSH brush = CreateSolidBrush(kRed);
  HGDIOBJ oldPen = SelectObject(c.dc, pen);
  HGDIOBJ oldBrush = SelectObject(c.dc, brush);

  ASSERT_TRUE(RoundRect(c.dc, 5, 5, 45, 35, 0, 0));  // square corners
  EXPECT_EQ(c.At(5, 5), kBlack);
  EXPECT_EQ(c.At(4, 20), kBlue);
  for (int x : {5, 6, 7}) EXPECT_EQ(c.At(x, 20), kBlack) << x;
  EXPECT_EQ(c.At(8, 20), kRed);
  for (int x : {42, 43, 44}) EXPECT_EQ(c.At(x, 20), kBlack) << x;
  EXPECT_EQ(c.At(41, 20), kRed);
  EXPECT_EQ(c.At(45, 20), kBlue);  // right and bottom edges are exclusive
  EXPECT_EQ(c.At(20, 34), kBlack);
  EXPECT_EQ(c.At(20, 35), kBlue);
  EXPECT_EQ(c.At(20, 32), kBlack);
  EXPECT_EQ(c.At(20, 31), kRed);

  c.Fill(kBlue);
  ASSERT_TRUE(RoundRect(c.dc, 5, 5, 45, 35, 16, 16));
  EXPECT_EQ(c.At(5, 5), kBlue);  // the corner is cut
  EXPECT_EQ(c.At(6, 6), kBlue);
  EXPECT_EQ(c.At(25, 5), kBlack);  // edges stay straight between the corners
  EXPECT_EQ(c.At(5, 20), kBlack);
  EXPECT_EQ(c.At(25, 8), kRed);
  EXPECT_EQ(c.At(25, 20), kRed);
  // Along the diagonal the corner goes outside, outline, inside.
  EXPECT_EQ(c.At(7, 7), kBlack);
  EXPECT_EQ(c.At(11, 11), kRed);

  // A null pen: no outline, the fill covers the whole rectangle.
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  c.Fill(kBlue);
  ASSERT_TRUE(Rectangle(c.dc, 5, 5, 45, 35));
  EXPECT_EQ(c.At(5, 5), kRed);
  EXPECT_EQ(c.At(44, 34), kRed);
  EXPECT_EQ(c.At(45, 34), kBlue);
  EXPECT_EQ(c.At(44, 35), kBlue);

  SelectObject(c.dc, oldPen);
  SelectObject(c.dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST(Shapes, LinesHaveThePenWidthAndLeaveOutTheLastPoint) {
  struct Case {
    int width;
    int firstRow, lastRow;  // rows covered by a horizontal line at y = 10
  };
  for (Case k : {Case{1, 10, 10}, Case{2, 10, 11}, Case{3, 9, 11}, Case{4, 9, 12}}) {
    SCOPED_TRACE(k.width);
    Canvas c(30, 30, kBlue);
    HPEN pen = CreatePen(PS_SOLID, k.width, kRed);
    HGDIOBJ old = SelectObject(c.dc, pen);
    MoveToEx(c.dc, 5, 10, nullptr);
    ASSERT_TRUE(LineTo(c.dc, 20, 10));
    for (int y = 0; y < 30; ++y)
      EXPECT_EQ(c.At(12, y), y >= k.firstRow && y <= k.lastRow ? kRed : kBlue) << y;
    EXPECT_EQ(c.At(5, 10), kRed);
    if (k.width == 1) {
      EXPECT_EQ(c.At(20, 10), kBlue);
    }
    POINT at{};
    MoveToEx(c.dc, 0, 0, &at);
    EXPECT_EQ(at.x, 20);
    SelectObject(c.dc, old);
    DeleteObject(pen);
  }
  // A one-pixel diagonal: one pixel per step, the end point left out.
  Canvas c(10, 10, kBlue);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(c.dc, pen);
  POINT points[] = {{0, 0}, {5, 5}, {5, 9}};
  ASSERT_TRUE(Polyline(c.dc, points, 3));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(c.At(i, i), kRed) << i;
  EXPECT_EQ(c.At(1, 0), kBlue);
  for (int y = 5; y < 9; ++y) EXPECT_EQ(c.At(5, y), kRed) << y;
  EXPECT_EQ(c.At(5, 9), kBlue);
  SelectObject(c.dc, old);
  DeleteObject(pen);
}

TEST(Objects, SelectionReturnsThePreviousObjectAndDeletesAreSafe) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(dc->bitmap, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);  // a fresh memory context holds a 1 x 1 bitmap
  HBITMAP a = CreateCompatibleBitmap(dc, 30, 20);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(GetObjectW(a, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 30);
  EXPECT_EQ(bm.bmHeight, 20);
  HGDIOBJ first = dc->bitmap;
  HGDIOBJ stock = SelectObject(dc, a);
  EXPECT_EQ(stock, first);
  EXPECT_EQ(GetPixel(dc, 29, 19), kBlack);  // new bitmaps are black
  EXPECT_EQ(GetPixel(dc, 30, 19), 0xFFFFFFFFu);

  // A bitmap is in one memory context at a time.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, a), nullptr);

  // Deleting a selected bitmap keeps it usable by the context until it goes.
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_NE(SetPixel(dc, 3, 3, kRed), 0xFFFFFFFFu);
  EXPECT_EQ(GetPixel(dc, 3, 3), kRed);
  EXPECT_EQ(SelectObject(dc, stock), a);
  EXPECT_FALSE(DeleteObject(a));            // already gone
  EXPECT_EQ(SelectObject(dc, a), nullptr);  // a stale handle is refused

  HBRUSH brush = CreateSolidBrush(kRed);
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));  // stock objects ignore deletes
  EXPECT_TRUE(DeleteDC(dc));                             // lets go of the brush
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteDC(other));
}

TEST(Objects, NullHandlesFailWithoutCrashing) {
  RECT r{0, 0, 5, 5};
  SIZE size{};
  POINT pts[2] = {{0, 0}, {1, 1}};
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(DeleteDC(nullptr));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(SelectObject(nullptr, GetStockObject(WHITE_BRUSH)), nullptr);
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 5, 5, dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dc, 0, 0, 5, 5, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(StretchBlt(nullptr, 0, 0, 5, 5, dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_FALSE(TransparentBlt(dc, 0, 0, 5, 5, nullptr, 0, 0, 5, 5, kKey));
  EXPECT_EQ(FillRect(nullptr, &r, GetStockObject(WHITE_BRUSH)), 0);
  EXPECT_EQ(FillRect(dc, &r, nullptr), 0);
  EXPECT_FALSE(Rectangle(nullptr, 0, 0, 5, 5));
  EXPECT_FALSE(RoundRect(nullptr, 0, 0, 5, 5, 2, 2));
  EXPECT_FALSE(Ellipse(nullptr, 0, 0, 5, 5));
  EXPECT_FALSE(MoveToEx(nullptr, 0, 0, nullptr));
  EXPECT_FALSE(LineTo(nullptr, 1, 1));
  EXPECT_FALSE(Polyline(nullptr, pts, 2));
  EXPECT_EQ(SetPixel(nullptr, 0, 0, kRed), 0xFFFFFFFFu);
  EXPECT_EQ(GetPixel(nullptr, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(SetTextColor(nullptr, kRed), 0xFFFFFFFFu);
  EXPECT_EQ(SetBkMode(nullptr, OPAQUE), 0);
  EXPECT_EQ(DrawTextW(nullptr, u"x", -1, &r, 0), 0);
  EXPECT_FALSE(GetTextExtentPoint32W(nullptr, u"x", 1, &size));
  EXPECT_EQ(GetObjectW(nullptr, 0, nullptr), 0);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 100000, 5), nullptr);
  EXPECT_EQ(LoadBitmapW(nullptr, u"not a number"), nullptr);
  DeleteDC(dc);
}

// ---- BMP -------------------------------------------------------------------------

void Put(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) v[at + i] = std::uint8_t(value >> (8 * i));
}

// A BMP file: 14-byte file header, 40-byte info header, palette, rows.
std::vector<std::uint8_t> Bmp(int width, int height, int bpp, std::uint32_t compression,
                              const std::vector<std::uint32_t>& palette,
                              const std::vector<std::uint8_t>& rows) {
  std::size_t offset = 54 + palette.size() * 4;
  std::vector<std::uint8_t> v(offset);
  v[0] = 'B';
  v[1] = 'M';
  Put(v, 2, std::uint32_t(offset + rows.size()), 4);
  Put(v, 10, std::uint32_t(offset), 4);
  Put(v, 14, 40, 4);
  Put(v, 18, std::uint32_t(width), 4);
  Put(v, 22, std::uint32_t(height), 4);
  Put(v, 26, 1, 2);
  Put(v, 28, std::uint32_t(bpp), 2);
  Put(v, 30, compression, 4);
  Put(v, 46, std::uint32_t(palette.size()), 4);
  for (std::size_t i = 0; i < palette.size(); ++i) Put(v, 54 + 4 * i, palette[i], 4);
  v.insert(v.end(), rows.begin(), rows.end());
  return v;
}

TEST(DecodeBmp, ReadsEveryPixelFormat) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
  };
  // Each file is 2 x 2: top row red, blue; bottom row white, black (0xRRGGBB).
  const std::uint32_t expected[2][2] = {{0xFF0000, 0x0000FF}, {0xFFFFFF, 0x000000}};
  std::vector<std::uint32_t> pal = {0x000000, 0xFF0000, 0x0000FF, 0xFFFFFF};  // as BGRX words
  const Case cases[] = {
      {"24-bit bottom-up", Bmp(2, 2, 24, 0, {}, {255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0})},
      {"24-bit top-down", Bmp(2, -2, 24, 0, {}, {0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0})},
      {"32-bit", Bmp(2, 2, 32, 0, {}, {255, 255, 255, 9, 0, 0, 0, 9, 0, 0, 255, 9, 255, 0, 0, 9})},
      {"16-bit 5-5-5", Bmp(2, 2, 16, 0, {}, {0xFF, 0x7F, 0, 0, 0, 0x7C, 0x1F, 0})},
      {"8-bit palette", Bmp(2, 2, 8, 0, pal, {3, 0, 0, 0, 1, 2, 0, 0})},
      {"4-bit palette", Bmp(2, 2, 4, 0, pal, {0x30, 0, 0, 0, 0x12, 0, 0, 0})},
      {"1-bit palette", Bmp(2, 2, 1, 0, {0x000000, 0xFFFFFF}, {0x80, 0, 0, 0, 0x00, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = DecodeBmp(c.file.data(), c.file.size());
    ASSERT_TRUE(s);
    ASSERT_EQ(s->width, 2);
    ASSERT_EQ(s->height, 2);
    bool mono = std::string(c.name) == "1-bit palette";
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        std::uint32_t want = mono ? (y == 1 && x == 0 ? 0xFFFFFF : 0) : expected[y][x];
        EXPECT_EQ(s->row(y)[x], want) << x << "," << y;
      }
  }
  // 16-bit 5-6-5 through bit fields after the header.
  auto f = Bmp(1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0x1F, 0xF8, 0, 0});  // masks where a palette would go
  auto s = DecodeBmp(f.data(), f.size());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->row(0)[0], 0xFF00FFu);
}

TEST(DecodeBmp, RejectsMalformedData) {
  auto good = Bmp(3, 2, 24, 0, {}, std::vector<std::uint8_t>(24, 7));
  ASSERT_TRUE(DecodeBmp(good.data(), good.size()));
  // Every truncation fails.
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
    EXPECT_FALSE(DecodeBmp(cut.data(), cut.size())) << n;
  }
  struct Case {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    int bytes;
  };
  const Case cases[] = {
      {"huge width", 18, 9000, 4},
      {"huge height", 22, 9000, 4},
      {"negative width", 18, 0xFFFFFFFD, 4},
      {"zero height", 22, 0, 4},
      {"most negative height", 22, 0x80000000u, 4},
      {"pixel offset past the end", 10, 1000, 4},
      {"pixel offset near 4 GB", 10, 0xFFFFFFF0u, 4},
      {"bad bits per pixel", 28, 7, 2},
      {"run-length compressed", 30, 1, 4},
      {"unknown header size", 14, 41, 4},
      {"two planes", 26, 2, 2},
  };
  for (const Case& c : cases) {
    auto bad = good;
    Put(bad, c.at, c.value, c.bytes);
    EXPECT_FALSE(DecodeBmp(bad.data(), bad.size())) << c.name;
  }
  EXPECT_FALSE(DecodeBmp(nullptr, 100));
  // Palettes: one that runs past the end, one larger than the depth allows.
  auto pal = Bmp(2, 2, 8, 0, std::vector<std::uint32_t>(256, 0), std::vector<std::uint8_t>(8, 0));
  ASSERT_TRUE(DecodeBmp(pal.data(), pal.size()));
  EXPECT_FALSE(DecodeBmp(pal.data(), 54 + 100));
  Put(pal, 46, 300, 4);
  EXPECT_FALSE(DecodeBmp(pal.data(), pal.size()));
}

// A PNG read back the long way: chunks and their CRCs, the zlib stream, the
// five row filters. Empty when anything is off.
std::vector<std::uint32_t> DecodePng(const std::vector<std::uint8_t>& png, int* width, int* height) {
  auto be32 = [&](std::size_t at) {
    return (std::uint32_t(png[at]) << 24) | (std::uint32_t(png[at + 1]) << 16) |
           (std::uint32_t(png[at + 2]) << 8) | png[at + 3];
  };
  if (png.size() < 8 || std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return {};
  std::vector<std::uint8_t> z;
  bool ended = false;
  for (std::size_t at = 8; at + 12 <= png.size() && !ended;) {
    const std::size_t n = be32(at);
    if (at + 12 + n > png.size()) return {};
    const std::string type(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8));
    if (crc32(0, &png[at + 4], uInt(n + 4)) != be32(at + 8 + n)) return {};
    if (type == "IHDR") {
      *width = int(be32(at + 8));
      *height = int(be32(at + 12));
      if (png[at + 16] != 8 || png[at + 17] != 2) return {};
    } else if (type == "IDAT") {
      z.insert(z.end(), png.begin() + std::ptrdiff_t(at + 8), png.begin() + std::ptrdiff_t(at + 8 + n));
    }
    ended = type == "IEND";
    at += 12 + n;
  }
  if (!ended || *width <= 0 || *height <= 0) return {};
  const std::size_t rowBytes = std::size_t(*width) * 3;
  uLongf size = uLongf((rowBytes + 1) * std::size_t(*height));
  std::vector<std::uint8_t> raw(size);
  if (uncompress(raw.data(), &size, z.data(), uLong(z.size())) != Z_OK || size != raw.size()) return {};
  std::vector<std::uint8_t> rgb(rowBytes * std::size_t(*height));
  for (std::size_t y = 0; y < std::size_t(*height); ++y) {
    const std::uint8_t filter = raw[y * (rowBytes + 1)];
    const std::uint8_t* in = &raw[y * (rowBytes + 1) + 1];
    std::uint8_t* row = &rgb[y * rowBytes];
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0, b = y > 0 ? row[i - rowBytes] : 0;
      const int c = i >= 3 && y > 0 ? row[i - rowBytes - 3] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predicted[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      if (filter > 4) return {};
      row[i] = std::uint8_t(in[i] + predicted[filter]);
    }
  }
  std::vector<std::uint32_t> pixels;
  for (std::size_t i = 0; i < rgb.size(); i += 3)
    pixels.push_back(std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
  return pixels;
}

TEST(Codecs, BmpAndPngRoundTrip) {
  // Flats, a gradient and noise, so that every row filter has its use.
  Surface s(97, 61);
  std::uint32_t noise = 1;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      noise = noise * 1103515245u + 12345u;
      s.row(y)[x] = y < 20   ? 0x6B3FA0u
                    : y < 40 ? std::uint32_t(x * 2) << 16 | std::uint32_t(y * 4) << 8 | std::uint32_t(x + y)
                             : (noise >> 8) & 0xFFFFFFu;
    }
  std::vector<std::uint8_t> bmp;
  ASSERT_TRUE(EncodeBmp(s, &bmp));
  auto back = DecodeBmp(bmp.data(), bmp.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixels, s.pixels);

  std::vector<std::uint8_t> png;
  ASSERT_TRUE(EncodePng(s, &png));
  int w = 0, h = 0;
  EXPECT_EQ(DecodePng(png, &w, &h), s.pixels);
  EXPECT_EQ(w, 97);
  EXPECT_EQ(h, 61);
}

TEST(Codecs, APngOfAFlatScreenIsSmall) {
  Surface s(480, 640);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) s.row(y)[x] = x < 240 ? 0x6B3FA0u : 0xFFFFFFu;
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(EncodePng(s, &png));
  int w = 0, h = 0;
  EXPECT_EQ(DecodePng(png, &w, &h), s.pixels);
  EXPECT_LT(png.size(), 480u * 640 * 3 / 100) << "stored, not compressed";
}

// Every picture of the manifest loads with its own size.
TEST(LoadBitmap, EveryManifestPictureLoads) {
  std::ifstream manifest(std::string(MELVORIA_SOURCE_DIR) + "/resources/manifest");
  ASSERT_TRUE(manifest);
  std::string line;
  int pictures = 0;
  while (std::getline(manifest, line)) {
    std::istringstream in(line);
    int id = 0;
    std::string type, path;
    if (!(in >> id >> type >> path) || (type != "BITMAP" && type != "ICON")) continue;
    SCOPED_TRACE(line);
    std::ifstream file(std::string(MELVORIA_SOURCE_DIR) + "/resources/" + path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 26u);
    std::int32_t width, height;
    std::memcpy(&width, &bytes[18], 4);
    std::memcpy(&height, &bytes[22], 4);
    HGDIOBJ picture = type == "BITMAP" ? LoadBitmapW(nullptr, MAKEINTRESOURCEW(id))
                                       : LoadIconW(nullptr, MAKEINTRESOURCEW(id));
    ASSERT_NE(picture, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(picture, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, width);
    EXPECT_EQ(bm.bmHeight, std::abs(height));
    EXPECT_TRUE(type == "BITMAP" ? DeleteObject(picture) : DestroyIcon(picture));
    ++pictures;
  }
  EXPECT_GT(pictures, 0);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(65000)), nullptr);
}

}  // namespace
}  // namespace ce
