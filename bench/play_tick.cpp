// One timer message of a running game at 480 x 640 with its paint: the tick,
// then the play screen serving the tick's requests and copying the board
// window. During a "Spin All" and during the clearing of matched cells.
// Each iteration should stay well under 0.4 ms.
//
// Beside them, the whole frame path of a desktop window (SDL's dummy video
// driver, an offscreen surface): one display frame's four ticks with their
// paints, then finding what changed and sending it, during a Spin All and on
// a still board. The still board's frame sends nothing: it should cost little
// more than its ticks. And the drawing of a whole frame at the zooms a window
// may have.
//
// And the window's loop around the ticks: one wake-up on a still board (the
// turn of the message loop that finds no message, and the wait for the next
// display frame), its CPU time being the loop's cost. In SDL's dummy driver
// (which has no connection to wait on, so its wait polls), or on the X server
// that DISPLAY names when MELVORIA_BENCH_DISPLAY=1 (the program's real wait).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/program_state.h"
#include "device/port.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "desktop/desktop.h"
#include "device/internal.h"
#include "game/board.h"
#include "game/commands.h"
#include "game/matching.h"
#include "game/state.h"
#include "game/tick.h"
#include "platform/device.h"
#include "platform/host.h"
#include "present/frame.h"
#include "render/draw.h"
#include "render/play_screen.h"
#include "render/scale.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace {

ce::LRESULT Proc(ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) {
  if (m == ce::WM_PAINT) {
    ce::PAINTSTRUCT ps{};
    ce::HDC dc = ce::BeginPaint(w, &ps);
    PaintPlayScreen(w, dc);
    ce::EndPaint(w, &ps);
    return 0;
  }
  return ce::DefWindowProcW(w, m, wp, lp);
}

// A Melvoria game on the large screen, its first paint served; in a desktop
// window (the dummy driver's) when `window` says so.
ce::HWND Setup(bool window = false) {
  ce::host::Options options;
  options.headless = !window;
  const char* onDisplay = std::getenv("MELVORIA_BENCH_DISPLAY");
  if (window && !(onDisplay && *onDisplay == '1')) setenv("SDL_VIDEODRIVER", "dummy", 1);
  ce::host::Start(options);
  ResetProgramState();
  ce::WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = u"Melvoria";
  ce::RegisterClassW(&wc);
  ce::HWND w = ce::CreateWindowExW(0, u"Melvoria", u"Melvoria", ce::WS_VISIBLE, 0, 0, 480, 640, nullptr, 0,
                                   nullptr, nullptr);
  shell.mainWindow = w;
  ReadScreenDpi();
  display.DisplayMode = 3;
  ResetHiScores();
  gameStatus.gameSpeed = 1;
  gameStatus.soundOn = 0;
  shell.ScreenState = Play;
  gameStatus.gameMode = Melvoria;
  requests.playSetupPending = 1;
  ce::InvalidateRect(w, nullptr, ce::FALSE);
  ce::UpdateWindow(w);
  ce::KillTimer(w, kGameTimer);  // the benchmark gives the ticks itself
  return w;
}

void TickAndPaint(ce::HWND w) {
  GameTick(w);
  ce::UpdateWindow(w);
}

void SpinAllTickAndPaint(benchmark::State& state) {
  ce::HWND w = Setup();
  for (auto _ : state) {
    if (AllReelsIdle()) {
      state.PauseTiming();
      gameStatus.matchActive = 0;
      gameStatus.life = 17;
      gameStatus.score = 1000;
      engine.spinButtonReady = 1;
      engine.buttonPressed = 1;
      ExecuteCommand(w, SpinAll);
      state.ResumeTiming();
    }
    TickAndPaint(w);
  }
  FreeBitmapSlots();
  ReleasePlaySurfaces();
}
BENCHMARK(SpinAllTickAndPaint);

void ClearingTickAndPaint(benchmark::State& state) {
  ce::HWND w = Setup();
  while (!AllReelsIdle()) TickAndPaint(w);
  for (auto _ : state) {
    if (gameStatus.matchActive == 0) {
      state.PauseTiming();
      for (int i = 0; i < kCells; ++i) BoardValue(i) = (i < 5 ? 6 : 1 + i % 4) * 100;
      gameStatus.life = 17;
      gameStatus.score = 1000;
      DetectMatches();
      state.ResumeTiming();
    }
    TickAndPaint(w);
  }
  FreeBitmapSlots();
  ReleasePlaySurfaces();
}
BENCHMARK(ClearingTickAndPaint);

// A display frame at 60 Hz: four ticks of 4 ms, then the frame. The argument
// says what follows the ticks: 0 nothing (the ticks alone, to compare), 1 the
// frame on the window's surface, 2 the frame through SDL's software renderer.
constexpr int kTicksPerFrame = 4;

void UsePath(const benchmark::State& state) {
  if (state.range(0) == 2)
    setenv("SDL_RENDER_DRIVER", "software", 1);
  else
    unsetenv("SDL_RENDER_DRIVER");
}

std::int64_t FrameIfAsked(const benchmark::State& state) {
  return state.range(0) ? ce::DesktopFrameNow() : 0;
}

void Finish(benchmark::State& state, std::int64_t pixels, std::int64_t frames) {
  state.counters["pixels/frame"] = frames ? double(pixels) / double(frames) : 0.0;
  state.counters["sent"] = benchmark::Counter(double(frames), benchmark::Counter::kAvgIterations);
  const char* labels[] = {"ticks alone", "window surface", "software renderer"};
  state.SetLabel(labels[state.range(0)]);
  FreeBitmapSlots();
  ReleasePlaySurfaces();
  ce::host::Stop();
  unsetenv("SDL_RENDER_DRIVER");
}

// Display frames of kTicksPerFrame ticks and their paints each, `beforeTick`
// run before every tick; the first frame is drawn before timing starts.
template <class F>
void MeasureFrames(benchmark::State& state, ce::HWND w, F beforeTick) {
  ce::DesktopFrameNow();
  ce::DesktopFrameNow();  // a renderer draws its first whole frame twice
  std::int64_t pixels = 0, frames = 0;
  for (auto _ : state) {
    for (int i = 0; i < kTicksPerFrame; ++i) {
      beforeTick();
      TickAndPaint(w);
    }
    std::int64_t sent = FrameIfAsked(state);
    pixels += sent;
    frames += sent > 0;
  }
  Finish(state, pixels, frames);
}

void SpinAllFrame(benchmark::State& state) {
  UsePath(state);
  ce::HWND w = Setup(true);
  MeasureFrames(state, w, [w] {
    if (!AllReelsIdle()) return;
    gameStatus.matchActive = 0;
    gameStatus.life = 17;
    gameStatus.score = 1000;
    engine.spinButtonReady = 1;
    engine.buttonPressed = 1;
    ExecuteCommand(w, SpinAll);
  });
}
BENCHMARK(SpinAllFrame)->DenseRange(0, 2);

void StillBoardFrame(benchmark::State& state) {
  UsePath(state);
  ce::HWND w = Setup(true);
  while (!AllReelsIdle()) TickAndPaint(w);
  for (int i = 0; i < 100; ++i) TickAndPaint(w);  // whatever settles after the reels
  MeasureFrames(state, w, [] {});
}
BENCHMARK(StillBoardFrame)->DenseRange(0, 2);

void LoopWakeUp(benchmark::State& state) {
  ce::HWND w = Setup(true);
  while (!AllReelsIdle()) TickAndPaint(w);
  for (int i = 0; i < 100; ++i) TickAndPaint(w);
  ce::DesktopFrameNow();
  for (auto _ : state) {
    ce::DesktopPresentIfDue();
    ce::DesktopWait(ce::RealClockMs());
  }
  state.SetLabel(std::getenv("SDL_VIDEODRIVER") ? "dummy driver" : "display");
  FreeBitmapSlots();
  ReleasePlaySurfaces();
  ce::host::Stop();
}
BENCHMARK(LoopWakeUp)->Iterations(300);

// A whole frame drawn for a window: zoom 1, zoom 2, and scaled down smoothly
// to the 450 x 600 that a 1024 x 600 screen shows full screen.
void WholeFrameDrawn(benchmark::State& state) {
  ce::Surface screen(480, 640);
  for (int y = 0; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x) screen.row(y)[x] = std::uint32_t(x * 7 + y * 13) * 0x010305u;
  int w = int(state.range(0)), h = int(state.range(1));
  ce::frame::Scaler scaler;
  scaler.Configure(ce::frame::Fit(480, 640, w, h));
  std::vector<std::uint32_t> window(std::size_t(w) * h);
  for (auto _ : state) {
    scaler.Draw(screen, scaler.layout().dest, window.data(), w, 0, 0);
    benchmark::DoNotOptimize(window.data());
  }
}
BENCHMARK(WholeFrameDrawn)->Args({480, 640})->Args({960, 1280})->Args({450, 600});

}  // namespace
