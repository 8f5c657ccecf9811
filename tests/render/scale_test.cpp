#include "render/scale.h"

#include <gtest/gtest.h>

#include "platform/host.h"

namespace {

class ScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ce::host::Start(ce::host::Options{});
    display = Display{};
  }
};

TEST_F(ScaleTest, ScalingRoundsHalvesAwayFromZeroAndKeepsTheSign) {
  struct Case {
    std::int32_t dpi, v, scaled;
  };
  const Case kCases[] = {
      {96, 0, 0},    {96, 7, 7},      {96, -7, -7}, {192, 15, 30},
      {192, 45, 90}, {192, -45, -90}, {144, 3, 5},  {144, -3, -5},
      {144, 1, 2},   {144, 2, 3},     {120, 2, 3},  {120, -2, -3},
      {72, 2, 2},    {72, 1, 1},      {72, -1, -1}, {192, 0x7FFFFFF, 0xFFFFFFE},
  };
  for (const Case& c : kCases) {
    display.dpiX = c.dpi;
    display.dpiY = c.dpi;
    EXPECT_EQ(ScaleX(c.v), c.scaled) << c.dpi << " " << c.v;
    EXPECT_EQ(ScaleY(c.v), c.scaled) << c.dpi << " " << c.v;
  }
  display.dpiX = 96;
  display.dpiY = 192;
  EXPECT_EQ(ScaleX(10), 10);
  EXPECT_EQ(ScaleY(10), 20);
}

TEST_F(ScaleTest, TheScreenIsReadOnce) {
  ReadScreenDpi();
  EXPECT_EQ(display.dpiX, 192);
  EXPECT_EQ(display.dpiY, 192);
  ce::host::Options small;
  small.screenWidth = 240;
  small.screenHeight = 320;
  ce::host::Start(small);
  ReadScreenDpi();
  EXPECT_EQ(display.dpiX, 192) << "only the first call reads";
}

TEST_F(ScaleTest, DisplayModes) {
  EXPECT_EQ(ClassifyDisplayMode(240, 320), 1);
  EXPECT_EQ(ClassifyDisplayMode(320, 240), 2);
  EXPECT_EQ(ClassifyDisplayMode(480, 640), 3);
  EXPECT_EQ(ClassifyDisplayMode(640, 480), 4);
  EXPECT_EQ(ClassifyDisplayMode(240, 400), 5);
  EXPECT_EQ(ClassifyDisplayMode(480, 480), 5);
}

ce::LRESULT Proc(ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) {
  return ce::DefWindowProcW(w, m, wp, lp);
}

ce::HWND Window() {
  ce::WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = u"Melvoria";
  ce::RegisterClassW(&wc);
  ce::HWND w = ce::CreateWindowExW(0, u"Melvoria", u"Melvoria", ce::WS_VISIBLE, 0, 0, 480, 640, nullptr, 0,
                                   nullptr, nullptr);
  ce::ValidateRect(w, nullptr);
  return w;
}

TEST_F(ScaleTest, InvalidateLogicalMarksTheScaledRectangle) {
  ce::HWND w = Window();
  ReadScreenDpi();
  InvalidateLogical(w, 164, 268, 216, 312);
  auto region = ce::host::InvalidRegion(w);
  ASSERT_EQ(region.size(), 1u);
  EXPECT_EQ(region[0].left, 328);
  EXPECT_EQ(region[0].top, 536);
  EXPECT_EQ(region[0].right, 432);
  EXPECT_EQ(region[0].bottom, 624);
}

TEST_F(ScaleTest, InvalidateScreenMarksTheModesScreen) {
  ce::HWND w = Window();
  display.dpiX = display.dpiY = 96;
  for (std::int32_t mode : {0, 5, -1}) {
    InvalidateScreen(w, mode);
    EXPECT_TRUE(ce::host::InvalidRegion(w).empty()) << mode;
  }
  InvalidateScreen(w, 1);
  auto region = ce::host::InvalidRegion(w);
  ASSERT_EQ(region.size(), 1u);
  EXPECT_EQ(region[0].right, 240);
  EXPECT_EQ(region[0].bottom, 320);
  ce::ValidateRect(w, nullptr);
  InvalidateScreen(w, 2);
  region = ce::host::InvalidRegion(w);
  ASSERT_EQ(region.size(), 1u);
  EXPECT_EQ(region[0].right, 320);
  EXPECT_EQ(region[0].bottom, 240);
}

}  // namespace
