// The desktop window's picture: where the device screen lies at each window
// size, pointer positions mapped back, scaling, and finding what changed; and
// the frame path itself in a window of SDL's dummy driver.
#include "present/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/desktop.h"
#include "device/internal.h"
#include "platform/device.h"
#include "platform/host.h"

using namespace ce;

namespace {

struct FitCase {
  int screenW, screenH, width, height;
  bool smooth;
  int zoom;
  RECT dest;
};

TEST(FrameLayout, FitsEachWindow) {
  const FitCase cases[] = {
      // Whole zooms, centred in what is left.
      {480, 640, 480, 640, false, 1, {0, 0, 480, 640}},
      {480, 640, 1264, 976, false, 1, {392, 168, 872, 808}},
      {480, 640, 960, 1280, false, 2, {0, 0, 960, 1280}},
      {480, 640, 1100, 1300, false, 2, {70, 10, 1030, 1290}},
      {240, 320, 800, 700, false, 2, {160, 30, 640, 670}},
      {640, 480, 720, 1440, false, 1, {40, 480, 680, 960}},
      // Below zoom 1: the shape kept, the shorter side filling the window.
      {480, 640, 1024, 600, true, 1, {287, 0, 737, 600}},
      {480, 640, 1008, 552, true, 1, {297, 0, 711, 552}},
      {480, 640, 300, 1000, true, 1, {0, 300, 300, 700}},
      {480, 640, 479, 640, true, 1, {0, 1, 479, 639}},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.screenW << "x" << c.screenH << " in " << c.width << "x" << c.height);
    frame::Layout l = frame::Fit(c.screenW, c.screenH, c.width, c.height);
    EXPECT_EQ(l.smooth, c.smooth);
    if (!c.smooth) {
      EXPECT_EQ(l.zoom, c.zoom);
    }
    EXPECT_EQ(l.dest.left, c.dest.left);
    EXPECT_EQ(l.dest.top, c.dest.top);
    EXPECT_EQ(l.dest.right, c.dest.right);
    EXPECT_EQ(l.dest.bottom, c.dest.bottom);
  }
}

// Every window pixel of the picture maps to a device pixel that is drawn
// there, so a tap lands on what is under it; pixels on the bars do not.
TEST(FrameLayout, PointerMapsBackToWhatIsShown) {
  const int sizes[][2] = {{480, 640}, {1100, 1300}, {1024, 600}, {1008, 552}, {300, 1000}};
  for (auto [width, height] : sizes) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    frame::Layout l = frame::Fit(480, 640, width, height);
    for (int py = 0; py < height; py += 3)
      for (int px = 0; px < width; px += 3) {
        int x, y;
        bool inside = l.ToDevice(px, py, &x, &y);
        bool onPicture = px >= l.dest.left && px < l.dest.right && py >= l.dest.top && py < l.dest.bottom;
        ASSERT_EQ(inside, onPicture) << px << "," << py;
        if (!inside) continue;
        ASSERT_TRUE(x >= 0 && x < 480 && y >= 0 && y < 640) << px << "," << py;
        RECT shown = l.ToWindow(RECT{x, y, x + 1, y + 1});
        ASSERT_TRUE(px >= shown.left && px < shown.right && py >= shown.top && py < shown.bottom)
            << px << "," << py << " -> " << x << "," << y;
      }
  }
}

Surface Pattern(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.row(y)[x] = (std::uint32_t(x * 37 + y * 11) * 0x01020304u) & 0xFFFFFFu;
  return s;
}

std::vector<std::uint32_t> DrawAll(const frame::Scaler& scaler, const Surface& screen, int width,
                                   int height) {
  std::vector<std::uint32_t> window(std::size_t(width) * height, 0u);
  scaler.Draw(screen, scaler.layout().dest, window.data(), width, 0, 0);
  return window;
}

TEST(FrameScaler, WholeZoomRepeatsEachPixel) {
  Surface screen = Pattern(24, 32);
  frame::Scaler scaler;
  scaler.Configure(frame::Fit(24, 32, 80, 100));  // zoom 3 at (4, 2)
  auto window = DrawAll(scaler, screen, 80, 100);
  for (int py = 0; py < 100; ++py)
    for (int px = 0; px < 80; ++px) {
      int x, y;
      std::uint32_t want = scaler.layout().ToDevice(px, py, &x, &y) ? 0xFF000000u | screen.row(y)[x] : 0u;
      ASSERT_EQ(window[std::size_t(py) * 80 + px], want) << px << "," << py;
    }
}

TEST(FrameScaler, SmoothScaleAveragesAndKeepsFlatColours) {
  // Stripes of black and white a pixel wide become grey; a flat colour stays
  // exactly itself.
  Surface stripes(480, 640), flat(480, 640);
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 480; ++x) {
      stripes.row(y)[x] = x % 2 ? 0xFFFFFFu : 0u;
      flat.row(y)[x] = 0x3C8AF0u;
    }
  frame::Scaler scaler;
  scaler.Configure(frame::Fit(480, 640, 240, 320));  // smooth, exactly one half
  ASSERT_TRUE(scaler.layout().smooth);
  for (std::uint32_t p : DrawAll(scaler, stripes, 240, 320)) ASSERT_EQ(p, 0xFF808080u);
  scaler.Configure(frame::Fit(480, 640, 1024, 600));
  auto window = DrawAll(scaler, flat, 1024, 600);
  for (int py = 0; py < 600; ++py)
    for (int px = 287; px < 737; ++px) ASSERT_EQ(window[std::size_t(py) * 1024 + px], 0xFF3C8AF0u);
}

// A frame that sends only what changed must draw those pixels as a whole
// frame would.
TEST(FrameScaler, PartsDrawnAloneMatchTheWhole) {
  Surface screen = Pattern(480, 640);
  const int sizes[][2] = {{480, 640}, {960, 1280}, {1024, 600}, {1008, 552}};
  const RECT parts[] = {{0, 0, 1, 1}, {479, 639, 480, 640}, {100, 200, 103, 260}, {31, 177, 449, 449}};
  for (auto [width, height] : sizes) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    frame::Scaler scaler;
    scaler.Configure(frame::Fit(480, 640, width, height));
    auto whole = DrawAll(scaler, screen, width, height);
    for (const RECT& part : parts) {
      RECT area = scaler.layout().ToWindow(part);
      int w = area.right - area.left, h = area.bottom - area.top;
      std::vector<std::uint32_t> alone(std::size_t(w) * h, 0u);
      scaler.Draw(screen, area, alone.data(), w, area.left, area.top);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(alone[std::size_t(y) * w + x],
                    whole[std::size_t(area.top + y) * width + std::size_t(area.left + x)])
              << "part " << part.left << "," << part.top << " pixel " << x << "," << y;
    }
  }
}

TEST(FrameShown, TakesOnlyPixelsThatDiffer) {
  Surface screen = Pattern(480, 640);
  frame::Shown shown;
  auto first = shown.Take(screen, {});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].right, 480);
  EXPECT_EQ(first[0].bottom, 640);
  // The board written again with the same pixels: nothing to send.
  EXPECT_TRUE(shown.Take(screen, {RECT{30, 178, 450, 448}}).empty());
  // Two pixels changed inside a written rectangle: the rectangle between them.
  screen.row(200)[100] ^= 1;
  screen.row(230)[60] ^= 0x10000;
  auto changed = shown.Take(screen, {RECT{30, 178, 450, 448}});
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].left, 60);
  EXPECT_EQ(changed[0].top, 200);
  EXPECT_EQ(changed[0].right, 101);
  EXPECT_EQ(changed[0].bottom, 231);
  // Taken on: the same rectangle again has nothing new.
  EXPECT_TRUE(shown.Take(screen, {RECT{30, 178, 450, 448}}).empty());
  // A written rectangle partly off the screen is cut to it.
  screen.row(639)[479] ^= 1;
  changed = shown.Take(screen, {RECT{400, 600, 900, 900}});
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].left, 479);
  EXPECT_EQ(changed[0].top, 639);
}

// At zoom 1 the window's pixels are the last frame: the same cases as above,
// found against a window of 500 x 700 showing the screen from (10, 30), and
// the window then holds the screen's pixels, made opaque.
TEST(FrameDrawChanged, FindsAndDrawsOnlyPixelsThatDifferFromTheWindow) {
  Surface screen = Pattern(480, 640);
  frame::Layout l = frame::Fit(480, 640, 500, 700);
  ASSERT_EQ(l.zoom, 1);
  ASSERT_FALSE(l.smooth);
  const int pitch = 500;
  std::vector<std::uint32_t> window(std::size_t(pitch) * 700, 0);
  auto at = [&](int x, int y) { return window[std::size_t(l.dest.top + y) * pitch + l.dest.left + x]; };
  auto draw = [&](std::vector<RECT> written) {
    return frame::DrawChanged(screen, written, l, window.data(), pitch);
  };
  auto first = draw({RECT{0, 0, 480, 640}});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].right, 480);
  EXPECT_EQ(first[0].bottom, 640);
  EXPECT_EQ(at(479, 639), screen.row(639)[479] | 0xFF000000u);
  EXPECT_EQ(window[0], 0u) << "a bar was drawn on";
  EXPECT_TRUE(draw({RECT{30, 178, 450, 448}}).empty());
  struct Case {
    std::vector<POINT> flipped;  // device pixels changed
    RECT written;
    RECT expected;  // empty: nothing to send
  };
  const Case cases[] = {
      {{{100, 200}, {60, 230}}, {30, 178, 450, 448}, {60, 200, 101, 231}},
      {{{31, 178}, {449, 447}}, {30, 178, 450, 448}, {31, 178, 450, 448}},  // at the rectangle's edges
      {{{479, 639}}, {400, 600, 900, 900}, {479, 639, 480, 640}},           // cut to the screen
      {{{5, 5}}, {100, 100, 200, 200}, {0, 0, 0, 0}},                       // not written: not looked at
  };
  for (const Case& c : cases) {
    for (POINT p : c.flipped) screen.row(p.y)[p.x] ^= 0x010101;
    auto changed = draw({c.written});
    if (RectEmpty(c.expected)) {
      EXPECT_TRUE(changed.empty());
      continue;
    }
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].left, c.expected.left);
    EXPECT_EQ(changed[0].top, c.expected.top);
    EXPECT_EQ(changed[0].right, c.expected.right);
    EXPECT_EQ(changed[0].bottom, c.expected.bottom);
    for (POINT p : c.flipped) EXPECT_EQ(at(p.x, p.y), screen.row(p.y)[p.x] | 0xFF000000u);
    EXPECT_TRUE(draw({c.written}).empty()) << "drawn, yet found again";
  }
}

TEST(FrameWrites, FewRectanglesCoverAllThatWasWritten) {
  frame::Writes writes;
  std::vector<RECT> added;
  for (int i = 0; i < 200; ++i) {
    RECT r{(i * 53) % 470, (i * 97) % 630, 0, 0};
    r.right = r.left + 1 + i % 9;
    r.bottom = r.top + 1 + i % 5;
    writes.Add(r);
    added.push_back(r);
  }
  writes.Add(RECT{10, 10, 10, 20});  // empty
  auto taken = writes.Take();
  EXPECT_LE(taken.size(), 8u);
  for (const RECT& r : added) {
    bool covered = false;
    for (const RECT& t : taken)
      covered = covered || (t.left <= r.left && t.top <= r.top && t.right >= r.right && t.bottom >= r.bottom);
    ASSERT_TRUE(covered) << r.left << "," << r.top;
  }
  EXPECT_TRUE(writes.Take().empty());
  // One inside another is no second rectangle.
  writes.Add(RECT{0, 0, 100, 100});
  writes.Add(RECT{10, 10, 20, 20});
  EXPECT_EQ(writes.Take().size(), 1u);
}

// The frame path in a desktop window (the tests run with SDL's dummy video
// driver), through the window's surface and through a renderer: the first frame
// is whole (a renderer's twice), a frame after a paint of the same pixels sends
// nothing, one changed pixel sends one pixel, and a draw that fails leaves the
// next frame whole, so nothing it missed stays stale.
class DesktopFrame : public testing::TestWithParam<const char*> {};

TEST_P(DesktopFrame, SendsOnlyWhatChangedAndRedrawsAfterAFailure) {
  const bool renderer = *GetParam() != 0;
  if (renderer)
    setenv("SDL_RENDER_DRIVER", GetParam(), 1);
  else
    unsetenv("SDL_RENDER_DRIVER");
  host::Options o;
  o.headless = false;
  host::Start(o);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"Plain";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, u"Plain", u"", WS_VISIBLE, 0, 0, 480, 640, nullptr, 0, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  HDC dc = GetDC(w);
  RECT all{0, 0, 480, 640};
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 200));
  const std::int64_t whole = 480 * 640;  // the window is 480 x 640 on the dummy's 1024 x 768
  FillRect(dc, &all, blue);
  EXPECT_EQ(DesktopFrameNow(), whole);
  if (renderer) {
    EXPECT_EQ(DesktopFrameNow(), whole);  // its drawable may take the size a swap late
  }
  FillRect(dc, &all, blue);
  EXPECT_EQ(DesktopFrameNow(), 0);
  SetPixel(dc, 200, 300, RGB(255, 0, 0));
  EXPECT_EQ(DesktopFrameNow(), 1);
  EXPECT_EQ(DesktopFrameNow(), 0);

  DesktopFailDraws(1);
  SetPixel(dc, 10, 10, RGB(0, 255, 0));
  EXPECT_EQ(DesktopFrameNow(), -1);
  EXPECT_EQ(DesktopFrameNow(), whole);  // the pixel the failed frame missed, and all the rest
  if (renderer) {
    EXPECT_EQ(DesktopFrameNow(), whole);
  }
  EXPECT_EQ(DesktopFrameNow(), 0);

  DeleteObject(blue);
  ReleaseDC(w, dc);
  host::Stop();
  unsetenv("SDL_RENDER_DRIVER");
}

INSTANTIATE_TEST_SUITE_P(SurfaceAndRenderer, DesktopFrame, testing::Values("", "software"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(*info.param ? "Renderer" : "Surface");
                         });

}  // namespace
