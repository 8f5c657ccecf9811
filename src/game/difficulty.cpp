#include "game/difficulty.h"

#include "app/shell_state.h"
#include "game/state.h"
#include "render/scale.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace {

struct Band {
  std::int64_t above;  // the score must be greater than this
  std::int64_t below;  // and less than this
  DifficultyValues easy, hard, melvoria;
};

// Beyond every 32-bit score.
constexpr std::int64_t kNoLimit = std::int64_t{1} << 32;
constexpr std::int64_t kNoFloor = -kNoLimit;
constexpr DifficultyValues kNone{};  // a band that a mode does not have

// Rows in order; row 1 holds for 1000 or less, which is "below 1001".
constexpr Band kBands[] = {
    {kNoFloor, 1001, {3, 5, 10, 1, 3, 5}, {5, 7, 10, 1, 4, 6}, {3, 5, 8, 4, 2, 4}},
    {1000, kNoLimit, {3, 5, 10, 1, 3, 6}, {5, 7, 10, 1, 4, 6}, {3, 5, 8, 4, 2, 6}},
    {5000, 6800, {2, 4, 9, 2, 3, 7}, {4, 6, 9, 2, 5, 7}, {2, 4, 7, 5, 3, 7}},
    {10000, kNoLimit, {2, 4, 9, 1, 3, 6}, {4, 6, 9, 1, 4, 6}, {3, 4, 7, 4, 3, 6}},
    {18000, 19600, {2, 3, 8, 2, 4, 7}, {3, 5, 8, 2, 5, 7}, {2, 3, 6, 5, 4, 7}},
    {23000, 25400, {1, 3, 8, 2, 4, 7}, {3, 5, 8, 2, 5, 7}, {2, 3, 6, 6, 4, 7}},
    {36000, 39100, {2, 2, 7, 2, 4, 8}, {2, 4, 7, 2, 5, 8}, {2, 3, 6, 6, 4, 8}},
    {44000, 47600, {2, 3, 7, 3, 5, 8}, {3, 4, 7, 3, 6, 8}, {2, 3, 6, 7, 5, 8}},
    {57000, 59800, {1, 2, 6, 3, 5, 9}, {2, 5, 6, 3, 7, 9}, {2, 3, 6, 7, 5, 9}},
    {69000, 70900, {1, 3, 6, 3, 5, 9}, {2, 4, 6, 3, 7, 9}, {2, 3, 6, 8, 5, 9}},
    {72000, 73900, {2, 2, 6, 4, 6, 10}, {3, 3, 6, 4, 8, 10}, {2, 3, 6, 8, 6, 9}},
    {82000, 84000, {1, 3, 5, 4, 6, 9}, {2, 3, 5, 4, 8, 10}, {2, 3, 6, 9, 6, 9}},
    {93000, 95000, {1, 2, 5, 4, 7, 10}, {1, 2, 5, 4, 9, 11}, {2, 3, 6, 10, 7, 9}},
    {101000, kNoLimit, {1, 2, 4, 5, 8, 10}, {1, 2, 4, 5, 9, 12}, kNone},
    // Melvoria only from here; its row 14 stops below 305000.
    {101000, 305000, kNone, kNone, {2, 3, 5, 10, 7, 9}},
    {305000, 605000, kNone, kNone, {2, 3, 5, 11, 8, 9}},
    {601000, kNoLimit, kNone, kNone, {2, 3, 5, 12, 9, 9}},
};

}  // namespace

DifficultyValues DifficultyFor(std::int32_t mode, std::int32_t score) {
  DifficultyValues v{};
  for (const Band& b : kBands) {
    const DifficultyValues& row = mode == Easy ? b.easy : mode == Hard ? b.hard : b.melvoria;
    if (row == kNone) continue;
    if (score > b.above && score < b.below) v = row;
  }
  return v;
}

void UpdateDifficulty() {
  GameStatus& g = gameStatus;
  if (g.gameMode < Easy || g.gameMode > Melvoria) return;
  const DifficultyValues v = DifficultyFor(g.gameMode, g.score);
  engine.lifeGain3 = v[0];
  engine.lifeGain4 = v[1];
  engine.lifeGain5 = v[2];
  engine.moveCost = v[3];
  engine.spinCost = v[4];
  engine.pointFactor = v[5];

  if (g.gameMode == Hard) {
    if (engine.hardDrainCount == 0) {
      g.lifeLoss = SatAdd(g.lifeLoss, 1);
      engine.hardDrainCount = 2;
    } else {
      --engine.hardDrainCount;
    }
  }

  if (g.gameMode == Melvoria) {
    const std::int32_t lowest = hiScoreTables[Melvoria - 1].entries[4].score;
    if (engine.gamePhase == Running && engine.makeScoreReady == 0 && g.score > lowest) {
      requests.panelRequest = 22;
      InvalidateLogical(shell.mainWindow, kMakeScoreRect);
    }
    if (engine.makeScoreReady == 1 && g.score <= lowest) {
      requests.panelRequest = 23;
      InvalidateLogical(shell.mainWindow, kMakeScoreRect);
    }
  }
}
