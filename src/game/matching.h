// Groups: three or more equal, non-blank items in a row, a column or a diagonal
// of the visible 5 x 3 board, and what they pay.
#pragma once

#include <array>
#include <cstdint>

// One line of the board: its cells in marking order and its size.
struct MatchLineCells {
  std::int32_t size;
  std::array<std::int32_t, 5> cells;
};
// Lines 1..29 in the order a pass examines them; [0] unused.
extern const std::array<MatchLineCells, 30> kMatchLines;

void DetectMatches();
void ScoreGroup(std::int32_t size, std::int32_t value);
std::int32_t DrawFreshItem();
void DrawRefillItem(std::int32_t cell);
