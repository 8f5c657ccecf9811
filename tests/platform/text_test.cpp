// Fonts and DrawTextW: cell heights, placement of the ink, line breaking and
// backgrounds, measured on a memory context.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "device/internal.h"
#include "platform/device.h"

namespace ce {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(0, 0, 128);
constexpr COLORREF kPaper = RGB(0, 200, 0);

HFONT Tahoma(LONG height, LONG weight) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  const char16_t face[] = u"Tahoma";
  std::copy(std::begin(face), std::end(face), lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}

// A white memory context with a Tahoma font selected, text colour kInk.
struct TextCanvas {
  HDC dc;
  HBITMAP bitmap;
  HFONT font;
  HGDIOBJ oldBitmap, oldFont;
  explicit TextCanvas(LONG height = 15, LONG weight = FW_BOLD, int w = 240, int h = 120) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, w, h);
    oldBitmap = SelectObject(dc, bitmap);
    font = Tahoma(height, weight);
    oldFont = SelectObject(dc, font);
    Clear();
    SetTextColor(dc, kInk);
    SetBkMode(dc, TRANSPARENT);
  }
  ~TextCanvas() {
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Clear() {
    std::fill_n(dc->target->row(0), dc->target->pixels.size(), ToPixel(kWhite));
  }
  // The bounding box of every pixel that is not white; empty when none.
  RECT Ink() const {
    const Surface& s = *dc->target;
    RECT r{s.width, s.height, 0, 0};
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x)
        if (s.row(y)[x] != ToPixel(kWhite)) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x + 1);
          r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    return RectEmpty(r) ? RECT{0, 0, 0, 0} : r;
  }
  int Count(COLORREF c) const {
    int n = 0;
    for (auto p : dc->target->pixels) n += p == ToPixel(c);
    return n;
  }
  int Cell() {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32W(dc, u"x", 1, &size));
    return size.cy;
  }
};

TEST(Fonts, CellHeightIsTheRequestedHeight) {
  // 29 is what "15 in double size" asks for: an em of 24 pixels.
  struct Case {
    LONG height, weight, cell;
  };
  for (Case c : {Case{29, FW_BOLD, 29}, Case{15, FW_NORMAL, 15}, Case{20, FW_HEAVY, 20},
                 Case{-24, FW_BOLD, 29}, Case{13, FW_NORMAL, 13}}) {
    SCOPED_TRACE(c.height);
    TextCanvas t(c.height, c.weight);
    EXPECT_EQ(t.Cell(), c.cell);
    RECT r{0, 0, 240, 120};
    EXPECT_EQ(DrawTextW(t.dc, u"Score: 123456", -1, &r, DT_LEFT), c.cell);
    RECT ink = t.Ink();
    EXPECT_GE(ink.top, 0);
    EXPECT_LE(ink.bottom, c.cell + 2);  // descenders may reach just past the cell
    EXPECT_GT(ink.bottom - ink.top, c.cell / 2);
  }
}

TEST(Fonts, BitmapStrikeSizesAreUnsmoothed) {
  struct Case {
    LONG height;
    bool crisp;  // cell 15 is an em of 12, which the face has as a bitmap; 29 is an em of 24
  };
  for (Case c : {Case{15, true}, Case{13, true}, Case{29, false}}) {
    SCOPED_TRACE(c.height);
    TextCanvas t(c.height, FW_BOLD);
    RECT r{0, 0, 240, 120};
    DrawTextW(t.dc, u"Score: 123456", -1, &r, DT_LEFT);
    int ink = t.Count(kInk);
    int white = t.Count(kWhite);
    int between = 240 * 120 - ink - white;
    EXPECT_GT(ink, 20);
    if (c.crisp) {
      EXPECT_EQ(between, 0);
    } else {
      EXPECT_GT(between, 20);
    }
  }
}

TEST(Fonts, BoldIsBolderAtEveryHeightTheGameUses) {
  // Some bold bitmap strikes of the face are regular-weight; bold must still show.
  for (LONG height : {13, 14, 15, 16, 18, 20, 27, 29, 31, 35}) {
    SCOPED_TRACE(height);
    int ink[2];
    int i = 0;
    for (LONG weight : {FW_NORMAL, FW_BOLD}) {
      TextCanvas t(height, weight, 480, 60);
      RECT r{0, 0, 480, 60};
      DrawTextW(t.dc, u"Congratulations! Melvoria", -1, &r, DT_LEFT | DT_SINGLELINE);
      ink[i++] = 480 * 60 - t.Count(kWhite);
    }
    EXPECT_GT(ink[1] * 100, ink[0] * 120) << "regular " << ink[0] << ", bold " << ink[1];
  }
}

// Wine's Tahoma by its folder first; then a Tahoma fontconfig knows; else
// fontconfig's stand-in for it, which the note names.
TEST(Fonts, TheFaceIsFoundByFolderThenFontconfig) {
  namespace fs = std::filesystem;
  const std::string wine = "/usr/share/wine/fonts";
  ASSERT_TRUE(fs::exists(wine + "/tahoma.ttf")) << "package fonts-wine";

  FontFiles f = FindFontFiles(wine);
  EXPECT_TRUE(f.tahoma);
  EXPECT_EQ(f.regular, wine + "/tahoma.ttf");
  EXPECT_EQ(f.bold, wine + "/tahomabd.ttf");
  EXPECT_EQ(f.note, "");

  const std::string missing = "/nonexistent/wine/fonts";
  f = FindFontFiles(missing);
  EXPECT_FALSE(f.tahoma) << "this machine's fontconfig knows a Tahoma of its own";
  EXPECT_EQ(::access(f.regular.c_str(), R_OK), 0) << f.regular;
  EXPECT_EQ(::access(f.bold.c_str(), R_OK), 0) << f.bold;
  EXPECT_NE(f.regular, f.bold);
  EXPECT_NE(f.note.find(f.regular), std::string::npos) << f.note;

  // A Tahoma that fontconfig indexes, wherever it lies.
  char tmpl[] = "/tmp/melvoria-fonts-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  fs::copy_file(wine + "/tahoma.ttf", dir / "t.ttf");
  fs::copy_file(wine + "/tahomabd.ttf", dir / "tb.ttf");
  ASSERT_TRUE(FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>(tmpl)));
  f = FindFontFiles(missing);
  EXPECT_TRUE(f.tahoma);
  EXPECT_EQ(f.regular, (dir / "t.ttf").string());
  EXPECT_EQ(f.bold, (dir / "tb.ttf").string());
  EXPECT_EQ(f.note, "");
  FcConfigAppFontClear(nullptr);
  fs::remove_all(dir);
}

TEST(DrawText, FlagsPlaceTheInk) {
  const RECT box{20, 10, 220, 110};
  struct Case {
    const char* name;
    const char16_t* text;
    UINT format;
    enum { Left, Centre, Right } h;
    enum { Top, Middle, Bottom } v;
    int lines;
    bool oneWordWide = false;  // the box is as wide as one word of four digits
  };
  const Case cases[] = {
      {"left", u"Hello", DT_LEFT, Case::Left, Case::Top, 1},
      {"centre", u"Hello", DT_CENTER, Case::Centre, Case::Top, 1},
      {"right", u"Hello", DT_RIGHT, Case::Right, Case::Top, 1},
      {"vcentre without single line is ignored", u"Hello", DT_CENTER | DT_VCENTER | DT_WORDBREAK,
       Case::Centre, Case::Top, 1},
      {"vcentre single line", u"Hello", DT_CENTER | DT_VCENTER | DT_SINGLELINE, Case::Centre, Case::Middle,
       1},
      {"bottom single line", u"Hello", DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, Case::Right, Case::Bottom, 1},
      {"word-break wraps", u"0000 1111 2222 3333", DT_WORDBREAK, Case::Left, Case::Top, 4, true},
      {"no word-break, one line", u"alpha beta gamma delta epsilon zeta eta theta iota", DT_LEFT, Case::Left,
       Case::Top, 1},
      {"newline breaks", u"one\ntwo\r\nthree", DT_CENTER, Case::Centre, Case::Top, 3},
      {"single line ignores newlines", u"one\ntwo", DT_SINGLELINE, Case::Left, Case::Top, 1},
      {"a long word stays whole", u"Supercalifragilisticexpialidocious", DT_WORDBREAK | DT_NOCLIP, Case::Left,
       Case::Top, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextCanvas t(15, FW_BOLD);
    int cell = t.Cell();
    RECT r = box;
    if (c.oneWordWide) {
      SIZE word{};
      GetTextExtentPoint32W(t.dc, u"0000", 4, &word);
      r.right = r.left + word.cx + 2;
    }
    const RECT inBox = r;
    RECT measured = r;
    int height = DrawTextW(t.dc, c.text, -1, &measured, c.format | DT_CALCRECT);
    EXPECT_EQ(t.Ink().right, 0) << "DT_CALCRECT draws nothing";
    EXPECT_EQ(height, c.lines * cell);
    EXPECT_EQ(measured.bottom - measured.top, c.lines * cell);
    int drawn = DrawTextW(t.dc, c.text, -1, &r, c.format);
    RECT ink = t.Ink();
    ASSERT_GT(ink.right, ink.left);
    EXPECT_GE(ink.bottom - ink.top, (c.lines - 1) * cell + cell / 2);
    EXPECT_LE(ink.bottom - ink.top, c.lines * cell + 2);
    int inkWidth = ink.right - ink.left;
    EXPECT_LE(inkWidth, measured.right - measured.left + 2);
    switch (c.h) {
      case Case::Left:
        EXPECT_LE(ink.left - inBox.left, 2);
        break;
      case Case::Right:
        EXPECT_LE(inBox.right - ink.right, 3);
        break;
      case Case::Centre:
        EXPECT_LE(std::abs((ink.left + ink.right) - (inBox.left + inBox.right)), 6);
        break;
    }
    switch (c.v) {
      case Case::Top:
        EXPECT_LE(ink.top - box.top, cell / 2);
        EXPECT_EQ(drawn, c.lines * cell);
        break;
      case Case::Middle:
        EXPECT_LE(std::abs((ink.top + ink.bottom) - (box.top + box.bottom)), cell / 2);
        break;
      case Case::Bottom:
        EXPECT_LE(box.bottom - ink.bottom, cell / 2);
        break;
    }
  }
}

TEST(DrawText, CalcRectMeasuresTheWidestLine) {
  TextCanvas t;
  SIZE one{}, two{};
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"wide line here", 14, &one));
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"x", 1, &two));
  RECT r{5, 7, 200, 8};
  int h = DrawTextW(t.dc, u"x\nwide line here\nx", -1, &r, DT_CALCRECT);
  EXPECT_EQ(h, 3 * one.cy);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.right, 5 + one.cx);
  EXPECT_EQ(r.bottom, 7 + 3 * one.cy);
}

TEST(DrawText, BackgroundModeAndClipping) {
  TextCanvas t(15, FW_BOLD);
  int cell = t.Cell();
  SIZE size{};
  GetTextExtentPoint32W(t.dc, u"Hello", 5, &size);
  SetBkColor(t.dc, kPaper);

  // Opaque: the line's cell box is the paper colour where there is no ink.
  SetBkMode(t.dc, OPAQUE);
  RECT r{10, 10, 200, 100};
  DrawTextW(t.dc, u"Hello", -1, &r, DT_LEFT);
  RECT ink = t.Ink();
  EXPECT_EQ(ink.left, 10);
  EXPECT_EQ(ink.top, 10);
  EXPECT_EQ(ink.right, 10 + size.cx);
  EXPECT_EQ(ink.bottom, 10 + cell);
  EXPECT_EQ(t.Count(kPaper) + t.Count(kInk), size.cx * cell);

  // Transparent: nothing but ink.
  t.Clear();
  SetBkMode(t.dc, TRANSPARENT);
  DrawTextW(t.dc, u"Hello", -1, &r, DT_LEFT);
  EXPECT_EQ(t.Count(kPaper), 0);
  EXPECT_GT(t.Count(kInk), 0);

  // Clipped to the rectangle unless DT_NOCLIP.
  for (UINT extra : {0u, DT_NOCLIP}) {
    t.Clear();
    RECT small{10, 10, 30, 20};
    DrawTextW(t.dc, u"Hello world", -1, &small, DT_LEFT | extra);
    RECT inked = t.Ink();
    if (extra == 0) {
      EXPECT_GE(inked.left, 10);
      EXPECT_LE(inked.right, 30);
      EXPECT_LE(inked.bottom, 20);
    } else {
      EXPECT_GT(inked.right, 30);
      EXPECT_GT(inked.bottom, 20);
    }
  }
}

TEST(DrawText, CountsUtf16UnitsAndDrawsInTheContextClip) {
  TextCanvas t;
  SIZE a{}, b{};
  // A count stops the text; a surrogate pair is one character.
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"HelloXYZ", 5, &a));
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"Hello", 5, &b));
  EXPECT_EQ(a.cx, b.cx);
  // Neither the pair's character nor U+E000 is in the face: each is one missing-glyph box.
  SIZE pair{}, missing{};
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"\U0001F600", 2, &pair));
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"\uE000", 1, &missing));
  EXPECT_GT(missing.cx, 0);
  EXPECT_EQ(pair.cx, missing.cx);

  t.dc->clip = Region(RECT{0, 0, 12, 120});
  RECT r{0, 0, 240, 120};
  DrawTextW(t.dc, u"WWWWWWWW", -1, &r, DT_LEFT);
  RECT ink = t.Ink();
  EXPECT_GT(ink.right, 0);
  EXPECT_LE(ink.right, 12);
}

}  // namespace
}  // namespace ce
