#include <random>

#include "game/world.h"

namespace {

using namespace testworld;

// A simple player: it takes a move that forms a group when it sees one, spins
// otherwise, raises the bet now and then; once it has seen its BET UPs it plays
// to lose (moves that form nothing, and MAKE SCORE in Melvoria).
class Player {
 public:
  explicit Player(unsigned seed) : rng_(seed) {}

  bool losing = false;

  void Act() {
    // Groups are looked for every 90 ticks: a player waits for the pass after a move.
    if (++sinceLast_ < 100) return;
    if (engine.gamePhase != Running || !AllReelsIdle() || gameStatus.matchActive != 0) return;
    if (engine.holdCountdown != 0 || engine.reelButtonsReady != 1) return;
    if (Coin(3)) return;  // players pause
    sinceLast_ = 0;
    if (losing && engine.makeScoreReady == 1) return Tap(MakeScore);
    if (!losing && engine.betKeysReady == 1 && gameStatus.spinSettled == 1 && Coin(20)) return Tap(BetUp);
    int grouping = -1, plain = -1, best = 0;
    for (int command = ReelUp; command <= ReelDown + 4; ++command) {
      int k = (command - 1) % 5;
      if (k >= 3 && gameStatus.spinSettled != 1) continue;
      const int lines = FormsGroup(command);
      if (lines == 0) plain = command;
      if (lines > best) best = lines, grouping = command;
    }
    // In Melvoria a move costs more life than a group gives back; spins pay better there.
    const bool melvoria = gameStatus.gameMode == Melvoria;
    if (!losing && grouping > 0) return Tap(grouping);
    if (losing && plain > 0 && !Coin(4)) return Tap(plain);
    if (engine.spinButtonReady == 1 && ((melvoria && !losing) || Coin(2))) return Tap(SpinAll);
    if (plain > 0) Tap(plain);
  }

 private:
  bool Coin(int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(rng_) == 0; }

  // The visible board after a move of one cell, judged by the 29 lines: how many form.
  static int FormsGroup(int command) {
    const int k = (command - 1) % 5;
    const bool up = command <= 5;
    std::int32_t board[15];
    for (int i = 0; i < 15; ++i) board[i] = BoardValue(i);
    for (int r = 0; r < 3; ++r) board[5 * r + k] = gameStatus.reelStrip[k][11 + r + (up ? 1 : -1)];
    int lines = 0;
    for (int line = 1; line <= kLines; ++line) {
      const MatchLineCells& l = kMatchLines[std::size_t(line)];
      bool group = board[l.cells[0]] != 0;
      for (int i = 1; i < l.size && group; ++i) group = board[l.cells[std::size_t(i)]] == board[l.cells[0]];
      if (group) ++lines;
    }
    return lines;
  }

  std::mt19937 rng_;
  int sinceLast_ = 0;
};

void CheckInvariants(std::int64_t tick) {
  const GameStatus& g = gameStatus;
  ASSERT_GE(g.life, 0) << tick;
  ASSERT_LE(g.life, 30) << tick;
  ASSERT_GE(g.betPercent, 3) << tick;
  ASSERT_LE(g.betPercent, 99) << tick;
  ASSERT_EQ(g.betPercent % 3, 0) << tick;
  ASSERT_GE(g.score, 0) << tick;
  ASSERT_LE(g.score, 999999) << tick;
  ASSERT_GE(g.pendingPoints, 0) << tick;
  ASSERT_GE(g.lifeGain, 0) << tick;
  ASSERT_GE(g.lifeLoss, 0) << tick;
  ASSERT_GE(engine.transferLeft, 0) << tick;
  for (int k = 0; k < 5; ++k) {
    const std::int32_t m = g.reelMotion[k];
    ASSERT_TRUE(m == ReelIdle || m == Down || m == Up || m == Locked) << tick;
    ASSERT_GE(g.spinStep[k], 0) << tick;
    ASSERT_LT(g.spinStep[k], kLastSpinStep[k]) << tick;
  }
  for (std::int32_t p : g.pendingItem)
    ASSERT_TRUE(p == kNothingPending || (p >= 0 && p <= 700 && p % 100 == 0)) << tick;
  // At rest every cell is on its place. Not checked: the end of a game, which blanks strip
  // positions under reels that may still move, and a refill that starts a tick after the
  // clearing it joins and so stops one step short of its new item.
  if (engine.gamePhase == Running && AllReelsIdle() && g.matchActive == 0) {
    for (int i = 0; i < kCells; ++i) {
      if (g.pendingItem[i] == kNothingPending) {
        ASSERT_EQ(BoardValue(i) % 100, 0) << "cell " << i << ", tick " << tick;
      }
    }
  }
}

struct GameCase {
  std::int32_t mode;
  std::int32_t gameSpeed;
  unsigned seed;        // the player's
  ce::DWORD startTime;  // a Melvoria meter is hard to fill: this start gives the player a game that does
};

class WholeGameTest : public EngineTest, public ::testing::WithParamInterface<GameCase> {};

TEST_P(WholeGameTest, AGameRunsFromItsOpeningSpinToTheHiScoreScreens) {
  const GameCase c = GetParam();
  gameStatus.gameSpeed = c.gameSpeed;
  ce::host::AdvanceTime(c.startTime);  // the new game's random seed
  StartGame(MainWindow(), c.mode);
  ASSERT_EQ(shell.ScreenState, Play);
  FirstPlayPaint();

  Player player(c.seed);
  int betUps = 0, spins = 0, groups = 0;
  bool sawEnding = false;
  std::int64_t tick = 0;
  for (; tick < 3000000 && shell.ScreenState == Play; ++tick) {
    const std::int32_t betUpBefore = engine.betUpState;
    const std::uint8_t matchBefore = gameStatus.matchActive;
    const std::int32_t stepBefore = gameStatus.spinStep[0];
    player.Act();
    if (stepBefore == 0 && gameStatus.spinStep[0] == 1) ++spins;
    Step();
    if (betUpBefore == 0 && engine.betUpState > 0) ++betUps;
    if (matchBefore == 0 && gameStatus.matchActive == 1) ++groups;
    if (betUps >= 2 || tick > 400000) player.losing = true;
    sawEnding = sawEnding || engine.gamePhase == Ending;
    CheckInvariants(tick);
    if (HasFatalFailure()) return;
  }
  ASSERT_NE(shell.ScreenState, Play) << "the game did not end";
  EXPECT_TRUE(sawEnding);
  EXPECT_GT(spins, 0);
  EXPECT_GT(groups, 0);
  EXPECT_GE(betUps, 1);
  EXPECT_EQ(engine.shownTable, c.mode);
  EXPECT_EQ(shell.ScreenState, QualifiesForHiScore(c.mode, gameStatus.score) ? NewHiScore : HiScores);
  EXPECT_EQ(requests.gameOverBanner, 0);
  EXPECT_EQ(requests.scoreBanner, 0);
  EXPECT_EQ(GameTimerMessages(20), 0) << "the game timer stops with the sequence";
  RecordProperty("ticks", std::to_string(tick));
  RecordProperty("score", std::to_string(gameStatus.score));
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, WholeGameTest,
    ::testing::Values(GameCase{Easy, 1, 11, 0}, GameCase{Hard, 2, 22, 0}, GameCase{Melvoria, 3, 33, 57}),
    [](const auto& info) {
      return std::string(info.param.mode == Easy ? "Easy" : info.param.mode == Hard ? "Hard" : "Melvoria");
    });

}  // namespace
