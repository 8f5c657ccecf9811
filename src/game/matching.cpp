#include "game/matching.h"

#include "game/board.h"
#include "game/state.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"

namespace {

constexpr std::array<MatchLineCells, 30> MakeLines() {
  std::array<MatchLineCells, 30> lines{};
  // Rows: for each row six lines, the longest first.
  constexpr std::int32_t kRowPattern[6][3] = {{0, 5}, {0, 4}, {0, 3}, {1, 4}, {1, 3}, {2, 3}};
  for (int r = 0; r < 3; ++r)
    for (int j = 0; j < 6; ++j) {
      MatchLineCells& l = lines[std::size_t(1 + 6 * r + j)];
      l.size = kRowPattern[j][1];
      for (int i = 0; i < l.size; ++i) l.cells[std::size_t(i)] = 5 * r + kRowPattern[j][0] + i;
    }
  constexpr std::int32_t kThrees[11][3] = {{10, 6, 2}, {11, 7, 3}, {12, 8, 4}, {14, 8, 2},
                                           {13, 7, 1}, {12, 6, 0}, {0, 5, 10}, {1, 6, 11},
                                           {2, 7, 12}, {3, 8, 13}, {4, 9, 14}};
  for (int j = 0; j < 11; ++j) {
    MatchLineCells& l = lines[std::size_t(19 + j)];
    l.size = 3;
    for (int i = 0; i < 3; ++i) l.cells[std::size_t(i)] = kThrees[j][i];
  }
  return lines;
}

void PayLine(int line) {
  const MatchLineCells& l = kMatchLines[std::size_t(line)];
  requests.matchLine[std::size_t(line)] = 1;
  requests.matchLinesDirty = 1;
  ScoreGroup(l.size, BoardValue(l.cells[0]));
  for (int i = 0; i < l.size; ++i) gameStatus.pendingItem[l.cells[std::size_t(i)]] = DrawFreshItem();
  gameStatus.matchActive = 1;
  PlaySoundEvent(7);
}

// The row's longest group, as a line number, or 0.
int RowGroup(int row) {
  std::int32_t v[5];
  for (int k = 0; k < 5; ++k) v[k] = BoardValue(5 * row + k);
  int b = 1 + 6 * row;
  if (v[0] != 0 && v[0] == v[1] && v[1] == v[2]) {
    if (v[3] == v[0]) return v[4] == v[0] ? b : b + 1;
    return b + 2;
  }
  if (v[1] != 0 && v[1] == v[2] && v[2] == v[3]) return v[4] == v[1] ? b + 3 : b + 4;
  if (v[2] != 0 && v[2] == v[3] && v[3] == v[4]) return b + 5;
  return 0;
}

}  // namespace

const std::array<MatchLineCells, 30> kMatchLines = MakeLines();

void DetectMatches() {
  GameStatus& g = gameStatus;
  for (std::int32_t& m : requests.matchLine) m = 0;
  if (!AllReelsIdle() || g.matchActive == 1 || engine.lifeOut == 1) return;

  for (int row = 0; row < 3; ++row)
    if (int line = RowGroup(row)) PayLine(line);
  for (int line = 19; line <= kLines; ++line) {
    const auto& c = kMatchLines[std::size_t(line)].cells;
    std::int32_t first = BoardValue(c[0]);
    if (first != 0 && first == BoardValue(c[1]) && first == BoardValue(c[2])) PayLine(line);
  }
  if (engine.comboLevel < 5) ++engine.comboLevel;
}

void ScoreGroup(std::int32_t size, std::int32_t value) {
  GameStatus& g = gameStatus;
  if (size < 3 || size > 5) return;
  const std::int64_t B = g.betPercent;
  const std::int64_t P = engine.pointFactor;
  const std::int64_t S = std::int64_t(g.score) * B / 100;
  const int i = size - 3;
  const std::int32_t gains[3] = {engine.lifeGain3, engine.lifeGain4, engine.lifeGain5};
  const bool melvoria = g.gameMode == Melvoria;

  std::int64_t points = 0;
  std::int64_t life = 0;
  if (value >= 100 && value <= 500) {
    static constexpr std::int64_t kFruitMelvoria[3][2] = {{1, 0}, {1, 1}, {2, 0}};  // S x a + S div 2 x b
    points = melvoria ? S * kFruitMelvoria[i][0] + (S / 2) * kFruitMelvoria[i][1] : B * P * size;
    life = melvoria ? engine.lifeGain3 : gains[i];
  } else if (value == 600) {
    static constexpr std::int64_t kBellBonus[3] = {965, 1822, 2765};
    if (melvoria) {
      points = (i == 0 ? S : i == 1 ? S + S / 2 : 2 * S) + kBellBonus[i];
    } else {
      points = B * (P + 1 + i) * size;
    }
    life = melvoria ? engine.lifeGain3 : gains[i];
  } else if (value == 700) {
    static constexpr std::int64_t kSuperFactor[3] = {8, 10, 12};
    points = melvoria ? S * (2 + i) : B * P * kSuperFactor[i];
    life = melvoria ? engine.lifeGain3 : 2 * std::int64_t(gains[i]);
  } else {
    return;
  }
  g.pendingPoints = SatAdd(g.pendingPoints, points);
  g.lifeGain = SatAdd(g.lifeGain, life);
}

std::int32_t DrawFreshItem() {
  std::int32_t c = RandomBelow(8);
  if (c == 0) c = RandomBelow(8);
  std::int32_t v = c * 100;
  if (v == 700 && RandomBelow(3) > 0) v = RandomBelow(7) * 100;
  return v;
}

void DrawRefillItem(std::int32_t cell) {
  if (cell < 0 || cell >= kCells) return;
  gameStatus.pendingItem[cell] = (RandomBelow(7) + 1) * 100;
}
