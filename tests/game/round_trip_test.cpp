#include <cstring>
#include <vector>

#include "game/world.h"

namespace {

using namespace testworld;

class RoundTripTest : public EngineTest {};

std::vector<std::uint8_t> Save() {
  std::vector<std::uint8_t> bytes(sizeof(GameStatus));
  std::memcpy(bytes.data(), &gameStatus, bytes.size());
  return bytes;
}

struct World {
  GameStatus status;
  EngineState run;
  RenderRequests req;
};
World Take() {
  return {gameStatus, engine, requests};
}
void Put(const World& w) {
  gameStatus = w.status;
  engine = w.run;
  requests = w.req;
}

// The images of `ticks` ticks from the current world, on a generator seeded alike.
std::vector<std::vector<std::uint8_t>> Run(int ticks) {
  std::vector<std::vector<std::uint8_t>> images;
  for (int i = 0; i < ticks; ++i) {
    Step();
    images.push_back(Save());
  }
  return images;
}

// Saves the game now, continues it in a fresh program from the stored bytes, and
// compares both, tick for tick, with the game that never stopped.
void ExpectSameAfterRoundTrip(const char* where) {
  SCOPED_TRACE(where);
  const World running = Take();
  ASSERT_EQ(engine.sequenceCount, 0) << "a continued game restarts its sequence count";
  const std::vector<std::uint8_t> stored = Save();

  // The game that never stopped.
  ce::srand(2024);
  const auto expected = Run(3000);

  // A new program: nothing but the record and the values a program keeps across games.
  engine = EngineState{};
  requests = RenderRequests{};
  gameStatus = GameStatus{};
  std::memcpy(&gameStatus, stored.data(), stored.size());
  engine.gamePhase = Running;  // as the store's start-up sets for a stored game
  engine.resumePending = 1;
  // Run-time values a program keeps from game to game, and the timing of the meters.
  engine.lifeGain3 = running.run.lifeGain3;
  engine.lifeGain4 = running.run.lifeGain4;
  engine.lifeGain5 = running.run.lifeGain5;
  engine.moveCost = running.run.moveCost;
  engine.spinCost = running.run.spinCost;
  engine.pointFactor = running.run.pointFactor;
  engine.hardDrainCount = running.run.hardDrainCount;
  engine.comboLevel = running.run.comboLevel;
  engine.meterCountdown = running.run.meterCountdown;
  engine.checkCountdown = running.run.checkCountdown;
  engine.holdCountdown = running.run.holdCountdown;
  engine.lastCommand = running.run.lastCommand;
  engine.transferSeen = running.run.transferSeen;
  engine.transferLeft = running.run.transferLeft;
  engine.transferChunk = running.run.transferChunk;
  ce::srand(2024);
  FirstPlayPaint();  // the set-up's tick, then ContinueGame
  std::vector<std::vector<std::uint8_t>> continued{Save()};
  const auto rest = Run(2999);
  continued.insert(continued.end(), rest.begin(), rest.end());

  for (std::size_t t = 0; t < expected.size(); ++t) {
    ASSERT_EQ(continued[t], expected[t]) << "first difference at tick " << t + 1;
  }
  Put(running);
}

TEST_F(RoundTripTest, AGameContinuesTickForTickAfterTheStore) {
  gameStatus.gameMode = Easy;
  StartGame(MainWindow(), Easy);
  FirstPlayPaint();
  Step(200);
  ASSERT_EQ(gameStatus.spinSettled, 0);
  ExpectSameAfterRoundTrip("mid-spin");

  ASSERT_TRUE(StepUntil(
      [] { return gameStatus.spinSettled == 1 && AllReelsIdle() && gameStatus.matchActive == 0; }, 20000));
  Tap(ReelUp + 2);
  Step(20);
  ASSERT_EQ(gameStatus.reelMotion[2], Up);
  ExpectSameAfterRoundTrip("mid-move");

  // Lay a group and let the clearing begin dissolving.
  ASSERT_TRUE(StepUntil([] { return AllReelsIdle() && gameStatus.matchActive == 0; }, 20000));
  SetBoard({6, 6, 6, 1, 2, 3, 4, 5, 1, 2, 4, 5, 1, 2, 3});
  DetectMatches();
  ASSERT_TRUE(StepUntil([] { return gameStatus.matchPause == 0; }, 100));
  Step(5);
  ASSERT_GT(BoardValue(0) % 100, 0);
  ExpectSameAfterRoundTrip("mid-clear");
}

TEST_F(RoundTripTest, AMelvoriaSpinContinuesWithItsPenalty) {
  StartGame(MainWindow(), Melvoria);
  FirstPlayPaint();
  Step(300);
  ExpectSameAfterRoundTrip("opening spin");
}

}  // namespace
