// The difficulty schedule: six values follow the score band of the game mode;
// Hard mode drains life; Melvoria mode offers MAKE SCORE once the score would place.
#pragma once

#include <array>
#include <cstdint>

// lifeGain3, lifeGain4, lifeGain5, moveCost, spinCost, pointFactor.
using DifficultyValues = std::array<std::int32_t, 6>;
// The values of a score in a mode (1..3); the last band that holds wins.
DifficultyValues DifficultyFor(std::int32_t mode, std::int32_t score);

void UpdateDifficulty();
