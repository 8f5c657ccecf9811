// The drawing of one game tick at 480 x 640: the board window copied to the
// target, twenty reel items copied from a strip, and one line of text.
// Together they should stay well under 50 microseconds.
#include <benchmark/benchmark.h>

#include "device/internal.h"
#include "platform/device.h"

namespace {

using namespace ce;

struct Picture {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  Picture(int w, int h, COLORREF fill) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, w, h);
    old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  ~Picture() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

// The screen stand-in: a 480 x 640 memory context whose clip is the board
// window and the meters below it, as a paint's invalid region would be.
struct Tick {
  Picture screen{480, 640, RGB(0, 0, 0)};
  Picture board{420, 270, RGB(40, 60, 80)};
  Picture strip{84, 90 * 8, RGB(255, 204, 255)};
  Tick() {
    screen.dc->clip = Region(RECT{30, 178, 450, 448});
    screen.dc->clip.Add(RECT{0, 470, 480, 640});
  }
};

void CopyTheBoardAndTheItems(Tick& t, bool keyed) {
  BitBlt(t.screen.dc, 30, 178, 420, 270, t.board.dc, 0, 0, SRCCOPY);
  for (int i = 0; i < 20; ++i) {
    int x = 30 + (i % 5) * 84;
    int y = 178 + (i / 5) * 60;
    if (keyed) {
      TransparentBlt(t.board.dc, x - 30, y - 178, 84, 90, t.strip.dc, 0, (i % 8) * 90, 84, 90,
                     RGB(255, 204, 255));
    } else {
      BitBlt(t.board.dc, x - 30, (y - 178) % 180, 84, 90, t.strip.dc, 0, (i % 8) * 90, SRCCOPY);
    }
  }
}

void BM_TickCopies(benchmark::State& state) {
  Tick t;
  bool keyed = state.range(0) != 0;
  for (auto _ : state) {
    CopyTheBoardAndTheItems(t, keyed);
    benchmark::ClobberMemory();
  }
  state.SetLabel(keyed ? "420x270 + 20 keyed 84x90" : "420x270 + 20 opaque 84x90");
}
BENCHMARK(BM_TickCopies)->Arg(0)->Arg(1);

void BM_ScoreLine(benchmark::State& state) {
  Picture screen{480, 640, RGB(0, 0, 0)};
  LOGFONTW lf{};
  lf.lfHeight = LONG(state.range(0));
  lf.lfWeight = FW_BOLD;
  const char16_t face[] = u"Tahoma";
  std::copy(std::begin(face), std::end(face), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(screen.dc, font);
  SetTextColor(screen.dc, RGB(255, 255, 255));
  SetBkMode(screen.dc, TRANSPARENT);
  for (auto _ : state) {
    RECT r{20, 500, 460, 540};
    benchmark::DoNotOptimize(DrawTextW(screen.dc, u"Score: 123456", -1, &r, DT_RIGHT | DT_WORDBREAK));
  }
  SelectObject(screen.dc, old);
  DeleteObject(font);
}
BENCHMARK(BM_ScoreLine)->Arg(15)->Arg(29);

}  // namespace
