#include "game/world.h"

namespace {

using namespace testworld;

class DifficultyTest : public EngineTest {};

struct BandCase {
  std::int32_t mode, score;
  DifficultyValues values;
};

// The edges of every band: each window starts one point above its lower number
// and ends one point below its upper number.
const BandCase kBands[] = {
    {Easy, 0, {3, 5, 10, 1, 3, 5}},          {Easy, 1000, {3, 5, 10, 1, 3, 5}},
    {Easy, 1001, {3, 5, 10, 1, 3, 6}},       {Easy, 5000, {3, 5, 10, 1, 3, 6}},
    {Easy, 5001, {2, 4, 9, 2, 3, 7}},        {Easy, 6799, {2, 4, 9, 2, 3, 7}},
    {Easy, 6800, {3, 5, 10, 1, 3, 6}},       {Easy, 10000, {3, 5, 10, 1, 3, 6}},
    {Easy, 10001, {2, 4, 9, 1, 3, 6}},       {Easy, 18001, {2, 3, 8, 2, 4, 7}},
    {Easy, 19599, {2, 3, 8, 2, 4, 7}},       {Easy, 19600, {2, 4, 9, 1, 3, 6}},
    {Easy, 23001, {1, 3, 8, 2, 4, 7}},       {Easy, 25399, {1, 3, 8, 2, 4, 7}},
    {Easy, 36001, {2, 2, 7, 2, 4, 8}},       {Easy, 39100, {2, 4, 9, 1, 3, 6}},
    {Easy, 44001, {2, 3, 7, 3, 5, 8}},       {Easy, 57001, {1, 2, 6, 3, 5, 9}},
    {Easy, 69001, {1, 3, 6, 3, 5, 9}},       {Easy, 72001, {2, 2, 6, 4, 6, 10}},
    {Easy, 82001, {1, 3, 5, 4, 6, 9}},       {Easy, 84000, {2, 4, 9, 1, 3, 6}},
    {Easy, 93001, {1, 2, 5, 4, 7, 10}},      {Easy, 101000, {2, 4, 9, 1, 3, 6}},
    {Easy, 101001, {1, 2, 4, 5, 8, 10}},     {Easy, 999999, {1, 2, 4, 5, 8, 10}},
    {Hard, 1000, {5, 7, 10, 1, 4, 6}},       {Hard, 1001, {5, 7, 10, 1, 4, 6}},
    {Hard, 6000, {4, 6, 9, 2, 5, 7}},        {Hard, 10001, {4, 6, 9, 1, 4, 6}},
    {Hard, 93500, {1, 2, 5, 4, 9, 11}},      {Hard, 101001, {1, 2, 4, 5, 9, 12}},
    {Melvoria, 1000, {3, 5, 8, 4, 2, 4}},    {Melvoria, 1001, {3, 5, 8, 4, 2, 6}},
    {Melvoria, 72500, {2, 3, 6, 8, 6, 9}},   {Melvoria, 101001, {2, 3, 5, 10, 7, 9}},
    {Melvoria, 305000, {3, 4, 7, 4, 3, 6}},  {Melvoria, 305001, {2, 3, 5, 11, 8, 9}},
    {Melvoria, 601000, {2, 3, 5, 11, 8, 9}}, {Melvoria, 601001, {2, 3, 5, 12, 9, 9}},
    {Melvoria, 604999, {2, 3, 5, 12, 9, 9}}, {Melvoria, 605000, {2, 3, 5, 12, 9, 9}},
    {Melvoria, 999999, {2, 3, 5, 12, 9, 9}},
};

TEST_F(DifficultyTest, TheLastBandThatHoldsSetsAllSixValues) {
  for (const BandCase& c : kBands) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " score " << c.score);
    SettledGame(c.mode);
    gameStatus.score = c.score;
    UpdateDifficulty();
    const DifficultyValues got{engine.lifeGain3, engine.lifeGain4, engine.lifeGain5,
                               engine.moveCost,  engine.spinCost,  engine.pointFactor};
    EXPECT_EQ(got, c.values);
  }
}

TEST_F(DifficultyTest, NoGameChangesNothing) {
  SettledGame(Easy);
  gameStatus.gameMode = 0;
  gameStatus.score = 50000;
  engine.hardDrainCount = 0;
  UpdateDifficulty();
  EXPECT_EQ(engine.pointFactor, 5);
  EXPECT_EQ(engine.moveCost, 1);
  EXPECT_EQ(gameStatus.lifeLoss, 0);
}

TEST_F(DifficultyTest, HardDrainsOneLifeUnitEveryThirdUpdate) {
  SettledGame(Hard);
  std::vector<int> counts, losses;
  for (int i = 0; i < 6; ++i) {
    UpdateDifficulty();
    counts.push_back(engine.hardDrainCount);
    losses.push_back(gameStatus.lifeLoss);
  }
  EXPECT_EQ(counts, (std::vector<int>{2, 1, 0, 2, 1, 0}));
  EXPECT_EQ(losses, (std::vector<int>{1, 1, 1, 2, 2, 2}));

  SettledGame(Easy);
  engine.hardDrainCount = 0;
  UpdateDifficulty();
  EXPECT_EQ(gameStatus.lifeLoss, 0) << "only Hard drains";
}

TEST_F(DifficultyTest, MelvoriaOffersMakeScoreOnceTheScoreWouldPlace) {
  SettledGame(Melvoria);
  gameStatus.score = 1023;  // the fifth Melvoria score
  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 0);

  gameStatus.score = 1024;
  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 22);
  EXPECT_TRUE(Covers(ce::host::InvalidRegion(MainWindow()), ce::RECT{46, 540, 124, 612}));
  ServePaint();
  EXPECT_EQ(engine.makeScoreReady, 1);

  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 0) << "offered once";
  gameStatus.score = 1023;
  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 23);
  ServePaint();
  EXPECT_EQ(engine.makeScoreReady, 0);
}

TEST_F(DifficultyTest, MakeScoreIsOnlyOfferedWhileTheGameRuns) {
  SettledGame(Melvoria);
  engine.gamePhase = Ending;
  gameStatus.score = 50000;
  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 0);
  SettledGame(Easy);
  gameStatus.score = 50000;
  UpdateDifficulty();
  EXPECT_EQ(requests.panelRequest, 0);
}

TEST_F(DifficultyTest, NoUpdateRunsDuringASpin) {
  SettledGame(Easy);
  gameStatus.score = 50000;
  engine.checkCountdown = 0;
  gameStatus.spinSettled = 0;
  GameTick(MainWindow());
  EXPECT_EQ(engine.pointFactor, 5);
  gameStatus.spinSettled = 1;
  GameTick(MainWindow());
  EXPECT_EQ(engine.pointFactor, 6);
}

}  // namespace
