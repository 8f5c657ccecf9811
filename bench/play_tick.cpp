// One timer message of a running game at 480 x 640 with its paint: the tick,
// then the play screen serving the tick's requests and copying the board
// window. During a "Spin All" and during the clearing of matched cells.
// Each iteration should stay well under 0.4 ms.
#include <benchmark/benchmark.h>

#include "app/program_state.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/commands.h"
#include "game/matching.h"
#include "game/state.h"
#include "game/tick.h"
#include "platform/device.h"
#include "platform/host.h"
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

// A Melvoria game on the large screen, its first paint served.
ce::HWND Setup() {
  ce::host::Start(ce::host::Options{});
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

}  // namespace
