// Reel motion (single moves, the "Spin All" cascade, the game-over spin) and the
// clearing of matched cells. Both run once per tick.
#pragma once

#include <cstdint>

// Last spin step of each reel: reel k turns (last - 1) cells.
constexpr std::int32_t kLastSpinStep[5] = {45, 59, 73, 87, 101};
// The speed a spinning reel takes at a step, or 0 when the step sets none.
std::int32_t SpinSpeedAt(int reel, std::int32_t step);

void StepReel(int reel);
void StepMatchClear();
