#include <algorithm>
#include <set>

#include "game/world.h"

namespace {

using namespace testworld;

class MatchingTest : public EngineTest {};

struct LinesCase {
  const char* name;
  std::vector<int> board;  // item codes, row 0 first; blanks never join a group
  std::set<int> lines;
};

const LinesCase kLinesCases[] = {
    {"row0 five", {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1}},
    {"row0 four left", {2, 2, 2, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2}},
    {"row0 three left", {3, 3, 3, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {3}},
    {"row0 four right", {4, 5, 5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {4}},
    {"row0 three middle", {6, 7, 7, 7, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {5}},
    {"row0 blank breaks the left", {4, 0, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {6}},
    {"row1 three then other", {0, 0, 0, 0, 0, 3, 3, 3, 6, 3, 0, 0, 0, 0, 0}, {9}},
    {"row1 five", {0, 0, 0, 0, 0, 6, 6, 6, 6, 6, 0, 0, 0, 0, 0}, {7}},
    {"row1 three right", {0, 0, 0, 0, 0, 1, 2, 5, 5, 5, 0, 0, 0, 0, 0}, {12}},
    {"row2 four right", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 4, 4, 4, 4}, {16}},
    {"row2 four left", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 7, 7, 0}, {14}},
    {"row2 three middle", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 0}, {17}},
    {"rising from reel 0", {0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 0}, {19}},
    {"rising from reel 1", {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, {20}},
    {"rising from reel 2", {0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0}, {21}},
    {"falling to reel 4", {0, 0, 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 3}, {22}},
    {"falling to reel 3", {0, 4, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 4, 0}, {23}},
    {"falling to reel 2", {6, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 6, 0, 0}, {24}},
    {"column 0", {7, 0, 0, 0, 0, 7, 0, 0, 0, 0, 7, 0, 0, 0, 0}, {25}},
    {"column 4", {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, {29}},
    {"row and column share a cell", {0, 1, 0, 0, 0, 1, 1, 1, 2, 3, 0, 1, 0, 0, 0}, {9, 26}},
    {"all blank", std::vector<int>(15, 0), {}},
    {"one item everywhere", std::vector<int>(15, 2), {1, 7, 13, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
    {"no group", {1, 2, 3, 4, 5, 4, 5, 1, 2, 3, 2, 3, 4, 5, 1}, {}},
};

TEST_F(MatchingTest, FindsTheLongestGroupOfEachRowAndEveryThreeLine) {
  for (const LinesCase& c : kLinesCases) {
    SCOPED_TRACE(c.name);
    SettledGame(Easy);
    SetBoard(c.board);
    std::set<int> cells;
    for (int line : c.lines)
      for (int i = 0; i < kMatchLines[std::size_t(line)].size; ++i)
        cells.insert(kMatchLines[std::size_t(line)].cells[std::size_t(i)]);

    DetectMatches();

    std::set<int> flagged;
    for (int n = 1; n <= kLines; ++n)
      if (requests.matchLine[std::size_t(n)] == 1) flagged.insert(n);
    EXPECT_EQ(flagged, c.lines);
    std::set<int> marked;
    for (int i = 0; i < kCells; ++i)
      if (gameStatus.pendingItem[i] != kNothingPending) marked.insert(i);
    EXPECT_EQ(marked, cells);
    EXPECT_EQ(gameStatus.matchActive, c.lines.empty() ? 0 : 1);
    EXPECT_EQ(requests.matchLinesDirty, c.lines.empty() ? 0 : 1);
    // Marking draws the new items; the board itself is untouched until the clearing.
    for (int i = 0; i < kCells; ++i) EXPECT_EQ(BoardValue(i), c.board[std::size_t(i)] * 100);
  }
}

TEST_F(MatchingTest, ComparesWholeValuesNotItems) {
  SettledGame(Easy);
  SetBoard({1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  BoardValue(2) = 101;  // a cherry one pixel off its place
  DetectMatches();
  EXPECT_EQ(gameStatus.matchActive, 0);
}

TEST_F(MatchingTest, ACellInTwoGroupsKeepsItsSecondDraw) {
  SettledGame(Easy);
  SetBoard({0, 1, 0, 0, 0, 1, 1, 1, 2, 3, 0, 1, 0, 0, 0});
  ce::srand(777);
  DetectMatches();
  // Line 9 marks cells 5, 6, 7; then line 26 marks 1, 6, 11.
  ce::srand(777);
  std::int32_t d[6];
  for (std::int32_t& v : d) v = DrawFreshItem();
  EXPECT_EQ(gameStatus.pendingItem[5], d[0]);
  EXPECT_EQ(gameStatus.pendingItem[7], d[2]);
  EXPECT_EQ(gameStatus.pendingItem[1], d[3]);
  EXPECT_EQ(gameStatus.pendingItem[6], d[4]);
  EXPECT_EQ(gameStatus.pendingItem[11], d[5]);
  // Both groups pay: two threes of cherries at bet 3 and factor 5.
  EXPECT_EQ(gameStatus.pendingPoints, 2 * 45);
}

TEST_F(MatchingTest, APassOnABusyBoardClearsTheLinesAndFindsNothing) {
  struct Busy {
    const char* name;
    void (*make)();
  };
  const Busy kBusy[] = {
      {"a reel moving", [] { gameStatus.reelMotion[3] = Up; }},
      {"a reel locked", [] { gameStatus.reelMotion[0] = Locked; }},
      {"a clearing running", [] { gameStatus.matchActive = 1; }},
      {"life out", [] { engine.lifeOut = 1; }},
  };
  for (const Busy& b : kBusy) {
    SCOPED_TRACE(b.name);
    SettledGame(Easy);
    SetBoard({1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    requests.matchLine[5] = 1;
    engine.comboLevel = 2;
    b.make();
    DetectMatches();
    EXPECT_EQ(requests.matchLine[5], 0);
    EXPECT_EQ(requests.matchLine[1], 0);
    EXPECT_EQ(gameStatus.pendingPoints, 0);
    EXPECT_EQ(engine.comboLevel, 2);
  }
}

TEST_F(MatchingTest, ComboLevelCountsPassesUpToFive) {
  SettledGame(Easy);
  engine.comboLevel = 1;
  std::vector<int> levels;
  for (int i = 0; i < 6; ++i) {
    DetectMatches();
    levels.push_back(engine.comboLevel);
  }
  EXPECT_EQ(levels, (std::vector<int>{2, 3, 4, 5, 5, 5}));
}

// Payouts with bet 12, point factor 7, life gains 2 / 4 / 9, and in Melvoria a
// score of 1325 (the bet S = 159, odd, so S div 2 shows).
struct PayoutCase {
  const char* kind;
  std::vector<int> values;
  std::int32_t mode;
  std::int32_t points[3];  // sizes 3, 4, 5
  std::int32_t life[3];
};

const PayoutCase kPayouts[] = {
    {"fruit", {100, 200, 300, 400, 500}, Easy, {252, 336, 420}, {2, 4, 9}},
    {"fruit", {100, 200, 300, 400, 500}, Hard, {252, 336, 420}, {2, 4, 9}},
    {"fruit", {100, 200, 300, 400, 500}, Melvoria, {159, 238, 318}, {2, 2, 2}},
    {"bell", {600}, Easy, {288, 432, 600}, {2, 4, 9}},
    {"bell", {600}, Hard, {288, 432, 600}, {2, 4, 9}},
    {"bell", {600}, Melvoria, {1124, 2060, 3083}, {2, 2, 2}},
    {"super", {700}, Easy, {672, 840, 1008}, {4, 8, 18}},
    {"super", {700}, Hard, {672, 840, 1008}, {4, 8, 18}},
    {"super", {700}, Melvoria, {318, 477, 636}, {2, 2, 2}},
    {"blank and others", {0, 99, 501, 650, 800, -100, 1000}, Easy, {0, 0, 0}, {0, 0, 0}},
    {"blank and others", {0, 99, 501, 650, 800, -100, 1000}, Melvoria, {0, 0, 0}, {0, 0, 0}},
};

TEST_F(MatchingTest, ScoreGroupPaysByItemSizeAndMode) {
  for (const PayoutCase& c : kPayouts) {
    for (int value : c.values) {
      for (int size = 3; size <= 5; ++size) {
        SCOPED_TRACE(testing::Message()
                     << c.kind << " value " << value << " mode " << c.mode << " size " << size);
        gameStatus.gameMode = c.mode;
        gameStatus.betPercent = 12;
        gameStatus.score = 1325;
        gameStatus.pendingPoints = 7;
        gameStatus.lifeGain = 1;
        engine.pointFactor = 7;
        engine.lifeGain3 = 2;
        engine.lifeGain4 = 4;
        engine.lifeGain5 = 9;
        ScoreGroup(size, value);
        EXPECT_EQ(gameStatus.pendingPoints, 7 + c.points[size - 3]);
        EXPECT_EQ(gameStatus.lifeGain, 1 + c.life[size - 3]);
        EXPECT_EQ(gameStatus.score, 1325) << "points never reach the score directly";
      }
    }
  }
}

TEST_F(MatchingTest, ScoreGroupWorkedExamples) {
  struct Example {
    std::int32_t mode, score, size, value, points, life;
  };
  // Bet 3 and the program-start difficulty values (3, 5, 10, factor 5).
  const Example kExamples[] = {
      {Easy, 0, 3, 100, 45, 3},        {Easy, 0, 5, 700, 180, 20},       {Melvoria, 1000, 3, 600, 995, 3},
      {Melvoria, 1000, 4, 300, 45, 3}, {Melvoria, 1000, 5, 700, 120, 3},
  };
  for (const Example& e : kExamples) {
    SCOPED_TRACE(testing::Message() << "mode " << e.mode << " size " << e.size << " value " << e.value);
    engine = EngineState{};
    gameStatus.gameMode = e.mode;
    gameStatus.betPercent = 3;
    gameStatus.score = e.score;
    gameStatus.pendingPoints = 0;
    gameStatus.lifeGain = 0;
    ScoreGroup(e.size, e.value);
    EXPECT_EQ(gameStatus.pendingPoints, e.points);
    EXPECT_EQ(gameStatus.lifeGain, e.life);
  }
}

TEST_F(MatchingTest, DrawFreshItemFollowsItsOddsIn448ths) {
  ce::srand(4242);
  constexpr int kDraws = 448 * 500;
  int counts[8] = {};
  for (int i = 0; i < kDraws; ++i) {
    std::int32_t v = DrawFreshItem();
    ASSERT_EQ(v % 100, 0);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 700);
    ++counts[v / 100];
  }
  const double expected[8] = {13, 69, 69, 69, 69, 69, 69, 21};
  for (int c = 0; c < 8; ++c)
    EXPECT_NEAR(double(counts[c]) / kDraws, expected[c] / 448, 0.004) << "item " << c;
}

TEST_F(MatchingTest, DrawRefillItemNeverDrawsABlank) {
  ce::srand(99);
  int counts[8] = {};
  for (int i = 0; i < 70000; ++i) {
    DrawRefillItem(4);
    std::int32_t v = gameStatus.pendingItem[4];
    ASSERT_TRUE(v >= 100 && v <= 700 && v % 100 == 0) << v;
    ++counts[v / 100];
  }
  for (int c = 1; c <= 7; ++c) EXPECT_NEAR(counts[c] / 70000.0, 1.0 / 7, 0.01) << "item " << c;
}

TEST_F(MatchingTest, RandomBelowStaysInRange) {
  ce::srand(5);
  std::set<int> eights;
  for (int i = 0; i < 2000; ++i) {
    EXPECT_EQ(RandomBelow(1), 0);
    int v = RandomBelow(8);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 8);
    eights.insert(v);
  }
  EXPECT_EQ(eights.size(), 8u);
}

}  // namespace
