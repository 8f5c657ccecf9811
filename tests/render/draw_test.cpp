#include "render/draw.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "app/shell_state.h"
#include "platform/host.h"
#include "render/scale.h"

namespace {

// A memory surface in a given display mode, filled with one colour.
class DrawTest : public ::testing::Test {
 protected:
  void Begin(int mode, int width = 480, int height = 640) {
    Release();
    FreeBitmapSlots();
    ce::host::Options options;
    options.screenWidth = mode == 1 ? 240 : 480;
    options.screenHeight = mode == 1 ? 320 : 640;
    ce::host::Start(options);
    display = Display{};
    ReadScreenDpi();
    display.DisplayMode = mode;
    shell = Shell{};
    surface = ce::CreateCompatibleBitmap(nullptr, width, height);
    dc = ce::CreateCompatibleDC(nullptr);
    old = ce::SelectObject(dc, surface);
    FillBox(dc, 1, 2, 3, 0, 0, 480, 640);
  }
  void TearDown() override {
    FreeBitmapSlots();
    Release();
  }
  void Release() {
    if (dc == nullptr) return;
    ce::SelectObject(dc, old);
    ce::DeleteDC(dc);
    ce::DeleteObject(surface);
    dc = nullptr;
  }
  ce::COLORREF Px(int x, int y) { return ce::GetPixel(dc, x, y); }
  // The picture's own pixels at (sx, sy) of it.
  static ce::COLORREF PicturePx(int picture, int sx, int sy) {
    ce::HBITMAP b = ce::LoadBitmapW(ce::GetModuleHandleW(nullptr), ce::MAKEINTRESOURCEW(picture));
    ce::HDC p = ce::CreateCompatibleDC(nullptr);
    ce::HGDIOBJ o = ce::SelectObject(p, b);
    ce::COLORREF c = ce::GetPixel(p, sx, sy);
    ce::SelectObject(p, o);
    ce::DeleteDC(p);
    ce::DeleteObject(b);
    return c;
  }
  bool ShowsPicture(int picture, int x, int y, int w, int h) {
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px)
        if (Px(x + px, y + py) != PicturePx(picture, px, py)) return false;
    return true;
  }
  std::vector<ce::COLORREF> Pixels(int left, int top, int right, int bottom) {
    std::vector<ce::COLORREF> v;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) v.push_back(Px(x, y));
    return v;
  }
  const ce::COLORREF back = ce::RGB(1, 2, 3);
  ce::HBITMAP surface = nullptr;
  ce::HDC dc = nullptr;
  ce::HGDIOBJ old = nullptr;
};

TEST_F(DrawTest, UiFontHeightAndItsOneLife) {
  struct Case {
    int mode, height, weight, cell;
  };
  for (const Case& c :
       {Case{1, 15, 700, 15}, Case{3, 15, 700, 29}, Case{3, 13, 400, 25}, Case{1, 20, 900, 20}}) {
    Begin(c.mode);
    ce::HFONT previous = SelectUiFont(u"Tahoma", 16, 400);
    ce::SelectObject(dc, previous);  // held by a context, so its handle stays its own
    ce::HFONT font = SelectUiFont(u"Tahoma", c.height, c.weight);
    EXPECT_EQ(CurrentUiFont(), font);
    ce::LOGFONTW lf{};
    ASSERT_EQ(ce::GetObjectW(font, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, c.cell);
    EXPECT_EQ(lf.lfWeight, c.weight);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
    EXPECT_EQ(lf.lfItalic + lf.lfUnderline + lf.lfStrikeOut + lf.lfCharSet, 0);
    // The font it replaced is deleted: no context may select it any more.
    ce::HDC other = ce::CreateCompatibleDC(nullptr);
    EXPECT_EQ(ce::SelectObject(other, previous), nullptr);
    ce::DeleteDC(other);
  }
}

TEST_F(DrawTest, BoxesDoubleTheirEdgesButPicturesKeepTheirSize) {
  Begin(3);
  FillBox(dc, 200, 0, 0, 10, 10, 20, 20);
  EXPECT_EQ(Px(20, 20), ce::RGB(200, 0, 0));
  EXPECT_EQ(Px(39, 39), ce::RGB(200, 0, 0));
  EXPECT_EQ(Px(40, 30), back);
  EXPECT_EQ(Px(19, 30), back);

  BlitResource(dc, 323, 84, 30, 50, 50);  // a large arrow: copied at (100, 100), 84 x 30
  EXPECT_TRUE(ShowsPicture(323, 100, 100, 84, 30));
  EXPECT_EQ(Px(184, 110), back);
  EXPECT_EQ(Px(110, 130), back);

  BlitResource(dc, 323, 20, 10, 0, 200);  // only the top-left 20 x 10 of it
  EXPECT_TRUE(ShowsPicture(323, 0, 400, 20, 10));
  EXPECT_EQ(Px(20, 400), back);

  Begin(1);
  FillBox(dc, 200, 0, 0, 10, 10, 20, 20);
  EXPECT_EQ(Px(10, 10), ce::RGB(200, 0, 0));
  EXPECT_EQ(Px(20, 15), back);
}

TEST_F(DrawTest, KeyedCopyLeavesTheKeyColourOut) {
  Begin(1);
  BlitResourceKeyed(dc, 162, 17, 17, 20, 20, 255, 204, 255);  // the abandon icon: keyed corners
  int kept = 0, copied = 0;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 17; ++x) {
      const ce::COLORREF source = PicturePx(162, x, y);
      if (source == ce::RGB(255, 204, 255)) {
        EXPECT_EQ(Px(20 + x, 20 + y), back);
        ++kept;
      } else {
        EXPECT_EQ(Px(20 + x, 20 + y), source);
        ++copied;
      }
    }
  EXPECT_GT(kept, 0);
  EXPECT_GT(copied, 0);
}

TEST_F(DrawTest, NumbersAreDrawnAsTheirDecimalText) {
  struct Case {
    std::int32_t number;
    const char16_t* text;
  };
  for (int mode : {1, 3}) {
    for (const Case& c :
         {Case{-5, u"-5"}, Case{0, u"0"}, Case{999999, u"999999"}, Case{INT_MIN, u"-2147483648"}}) {
      Begin(mode);
      ce::SelectObject(dc, SelectUiFont(u"Tahoma", 14, 700));
      DrawNumberBox(dc, c.number, 252, 191, 0, 0, 0, 0, 0, 0, 100, 20, 0, 2);
      DrawTextBox(dc, c.text, 252, 191, 0, 0, 0, 0, 0, 40, 100, 60, 0, 2);
      const int s = mode == 3 ? 2 : 1;
      EXPECT_EQ(Pixels(0, 0, 100 * s, 20 * s), Pixels(0, 40 * s, 100 * s, 60 * s)) << c.number;
      EXPECT_NE(Pixels(0, 0, 100 * s, 20 * s), std::vector<ce::COLORREF>(100 * s * 20 * s, back));
    }
  }
}

TEST_F(DrawTest, TextAlignmentAndBackground) {
  Begin(1);
  ce::SelectObject(dc, SelectUiFont(u"Tahoma", 15, 700));
  auto inkSpan = [&](int top, int bottom, ce::COLORREF ink) {
    int first = 1000, last = -1;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < 200; ++x)
        if (Px(x, y) == ink) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    return std::pair{first, last};
  };
  const ce::COLORREF ink = ce::RGB(255, 255, 0);
  DrawTextBox(dc, u"ab", 255, 255, 0, 9, 9, 9, 0, 0, 200, 20, 1, 0);
  DrawTextBox(dc, u"ab", 255, 255, 0, 9, 9, 9, 0, 30, 200, 50, 1, 1);
  DrawTextBox(dc, u"ab", 255, 255, 0, 9, 9, 9, 0, 60, 200, 80, 0, 2);
  auto [l0, r0] = inkSpan(0, 20, ink);
  auto [l1, r1] = inkSpan(30, 50, ink);
  auto [l2, r2] = inkSpan(60, 80, ink);
  EXPECT_LT(l0, 5);
  EXPECT_NEAR((l1 + r1) / 2, 100, 3);
  EXPECT_GT(r2, 194);
  EXPECT_EQ(r0 - l0, r2 - l2);
  // Transparent leaves the surface around the glyphs; opaque fills their cells.
  EXPECT_EQ(Px(l0 + 1, 1) == ce::RGB(9, 9, 9), false);
  bool opaqueFill = false;
  for (int y = 60; y < 80; ++y)
    opaqueFill = opaqueFill || Px(r2, y) == ce::RGB(9, 9, 9) || Px(l2, y) == ce::RGB(9, 9, 9);
  EXPECT_TRUE(opaqueFill);
}

TEST_F(DrawTest, LinesArePenWideByMode) {
  Begin(1);
  DrawLine(dc, 0, 255, 0, 10, 10, 50, 10);
  EXPECT_EQ(Px(20, 10), ce::RGB(0, 255, 0));
  EXPECT_EQ(Px(20, 11), back);
  Begin(3);
  DrawLine(dc, 0, 255, 0, 10, 10, 50, 10);
  int rows = 0;
  for (int y = 16; y < 25; ++y) rows += Px(40, y) == ce::RGB(0, 255, 0);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(Px(19, 20) == ce::RGB(0, 255, 0) || Px(20, 20) == ce::RGB(0, 255, 0), true);
}

TEST_F(DrawTest, RoundButtonOutlinesFillsAndCentresItsCaption) {
  for (int mode : {1, 3}) {
    Begin(mode);
    const int s = mode == 3 ? 2 : 1;
    DrawRoundButton(dc, u"OK", 20, 20, 80, 30, 0, 0, 0, 0, 200, 255, 255, 255);
    EXPECT_EQ(Px(20 * s, 20 * s), ce::RGB(0, 0, 0));              // outline
    EXPECT_EQ(Px(20 * s + 2 * s - 1, 30 * s), ce::RGB(0, 0, 0));  // ScaleX(2) wide
    EXPECT_EQ(Px(20 * s + 2 * s, 22 * s), ce::RGB(0, 0, 200));    // fill
    EXPECT_EQ(Px(100 * s, 30 * s), back);
    int white = 0;
    for (int y = 20 * s; y < 50 * s; ++y)
      for (int x = 20 * s; x < 100 * s; ++x) white += Px(x, y) == ce::RGB(255, 255, 255);
    EXPECT_GT(white, 0);
    ce::LOGFONTW lf{};
    ce::GetObjectW(CurrentUiFont(), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, mode == 3 ? 29 : 15);
  }
}

TEST_F(DrawTest, SlotsHoldOnePictureEach) {
  Begin(1);
  LoadBitmapSlot(dc, 299, 0);
  LoadBitmapSlot(dc, 299, 6);
  for (int slot = 0; slot <= 6; ++slot) EXPECT_EQ(BitmapSlotDC(slot), nullptr) << slot;

  LoadBitmapSlot(dc, 289, 2);
  LoadBitmapSlot(dc, 162, 2);  // the second load replaces the first
  ce::HDC slot = BitmapSlotDC(2);
  ASSERT_NE(slot, nullptr);
  ce::BitBlt(dc, 0, 0, 17, 17, slot, 0, 0, ce::SRCCOPY);
  EXPECT_TRUE(ShowsPicture(162, 0, 0, 17, 17));

  CreateBitmapSlot(dc, 30, 20, 4);
  FillBox(BitmapSlotDC(4), 7, 8, 9, 0, 0, 30, 20);
  EXPECT_EQ(ce::GetPixel(BitmapSlotDC(4), 29, 19), ce::RGB(7, 8, 9));
  EmptyBitmapSlot(4);
  EXPECT_EQ(BitmapSlotDC(4), nullptr);
  EXPECT_NE(BitmapSlotDC(2), nullptr);
  FreeBitmapSlots();
  for (int s = 1; s <= 5; ++s) EXPECT_EQ(BitmapSlotDC(s), nullptr);
}

TEST_F(DrawTest, PopupFrameTilesItsEdgesDownToTheBottom) {
  struct Case {
    int mode, height;
    int title, left, right, bottom, tile, titleHeight, width;
  };
  for (const Case& c :
       {Case{1, 300, 166, 167, 168, 169, 30, 26, 240}, Case{3, 300, 170, 171, 172, 173, 60, 52, 480}}) {
    Begin(c.mode);
    shell.popupHeight = c.height;
    DrawPopupFrame(dc, u"About", 40, 50, 60);
    EXPECT_TRUE(ShowsPicture(c.title, 0, 0, c.width, 4));  // above the title text
    const int edge = c.mode == 3 ? 8 : 4;
    const int tiles = c.height / 30;
    for (int i = 0; i < tiles; ++i) {
      const int y = c.titleHeight + c.tile * i;
      if (y + 1 >= c.height - edge) break;  // under the bottom edge
      EXPECT_EQ(Px(0, y), PicturePx(c.left, 0, 0)) << i;
      EXPECT_EQ(Px(c.width - edge, y + 1), PicturePx(c.right, 0, 1)) << i;
    }
    EXPECT_TRUE(ShowsPicture(c.bottom, 0, c.height - edge, c.width, edge));
    EXPECT_EQ(Px(c.width / 2, c.height / 2), ce::RGB(40, 50, 60));
  }
}

}  // namespace
