// Ticks of a running game without drawing: during a "Spin All" and during the
// clearing of matched cells. Each iteration is one timer message's work.
#include <benchmark/benchmark.h>

#include "app/program_state.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/commands.h"
#include "game/matching.h"
#include "game/state.h"
#include "game/tick.h"
#include "platform/device.h"
#include "platform/host.h"
#include "render/scale.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace {

ce::LRESULT Proc(ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) {
  return ce::DefWindowProcW(w, m, wp, lp);
}

ce::HWND Setup(std::int32_t mode) {
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
  gameStatus.gameMode = mode;
  BeginNewGame();
  GameTick(w);
  return w;
}

// What the painter does with the engine's requests, without drawing.
void Serve(ce::HWND w) {
  if (requests.metersDirty) TransferScore(w);
  requests.reelsMovedDown = requests.reelsMovedUp = requests.replaceDirty = 0;
  requests.boardDirty = requests.metersDirty = requests.matchLinesDirty = 0;
  requests.spinButtonLook = requests.panelRequest = requests.buttonToRedraw = 0;
}

void SpinAllTicks(benchmark::State& state) {
  ce::HWND w = Setup(Easy);
  for (auto _ : state) {
    if (AllReelsIdle()) {
      state.PauseTiming();
      gameStatus.matchActive = 0;
      gameStatus.life = 17;
      engine.spinButtonReady = 1;
      engine.buttonPressed = 1;
      ExecuteCommand(w, SpinAll);
      state.ResumeTiming();
    }
    GameTick(w);
    Serve(w);
  }
}
BENCHMARK(SpinAllTicks);

void ClearingTicks(benchmark::State& state) {
  ce::HWND w = Setup(Easy);
  while (!AllReelsIdle()) GameTick(w);
  for (auto _ : state) {
    if (gameStatus.matchActive == 0) {
      state.PauseTiming();
      for (int i = 0; i < kCells; ++i) BoardValue(i) = (i < 5 ? 6 : 1 + i % 4) * 100;
      gameStatus.life = 17;
      DetectMatches();
      state.ResumeTiming();
    }
    GameTick(w);
    Serve(w);
  }
}
BENCHMARK(ClearingTicks);

}  // namespace
