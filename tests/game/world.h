// The engine's world for tests: a fresh device, a main window, first-run
// settings, and a stand-in for the play screen's painter that serves the
// engine's requests the way the painter's steps change engine state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/shell_state.h"
#include "game/board.h"
#include "game/commands.h"
#include "game/difficulty.h"
#include "game/matching.h"
#include "game/reels.h"
#include "game/state.h"
#include "game/tick.h"
#include "platform/device.h"
#include "platform/host.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace testworld {

// Everything program-wide back to program start, on a fresh 480 x 640 device.
void ResetWorld();
// The main window the engine invalidates and times.
ce::HWND MainWindow();
// Game-timer messages the main window gets while ms of virtual time pass.
int GameTimerMessages(ce::DWORD ms);
// Whether a device rectangle lies wholly inside a region (as host::InvalidRegion gives it).
bool Covers(const std::vector<ce::RECT>& region, const ce::RECT& r);

// What the play screen's painter does to engine state for the requests it serves
// (ready flags, the score transfer, the refill, banners), without drawing.
void ServePaint();
// The play screen's first paint of a game: setup, then one tick; ContinueGame for a resumed one.
void FirstPlayPaint();
// One timer message and the paint after it.
void Step(int ticks = 1);
// Ticks until the predicate holds; false when it did not within `limit` ticks.
template <class F>
bool StepUntil(F done, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (done()) return true;
    Step();
  }
  return done();
}

// A tap as the play input gives it: press, then the costs the input charges.
void Tap(std::int32_t command);

// Lays items (codes 0..7, row by row, 15 of them) onto the visible board at rest.
void SetBoard(const std::vector<int>& items);
// A settled running game of a mode with nothing moving, at its first tick's state.
void SettledGame(std::int32_t mode);

// Opens the sound bank from the real resources (as start-up does).
void OpenSounds();
// Wave writes since the last call, as SoundIds (the device number is the SoundId
// when the bank opened the twelve devices in order).
std::vector<int> TakeSounds();

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetWorld(); }
};

}  // namespace testworld
