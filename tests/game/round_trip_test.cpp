// A game stored and continued by a new program. Only the stored bytes survive a
// restart: every run-time value starts again from its program-start value, so
// the resumed game cannot be the same tick for tick, but it must go on to the
// same quiet board with every owed point paid.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "game/world.h"
#include "platform/scoped_env.h"
#include "store/registry_store.h"

namespace {

using namespace testworld;
namespace fs = std::filesystem;

class RoundTripTest : public EngineTest {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-roundtrip-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    data_.Set(dir_);
    EngineTest::SetUp();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
  ScopedEnv data_{"MELVORIA_DATA_DIR"};
};

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

bool Quiet() {
  const GameStatus& g = gameStatus;
  return g.spinSettled == 1 && AllReelsIdle() && g.matchActive == 0 && g.pendingPoints == 0;
}

// The game left with "Exit the Game?" and the program started again: the store
// written and read back through the registry, then the play screen's first paint.
void Restart() {
  SaveStore();
  ResetWorld();
  LoadStore();
  FirstPlayPaint();
}

// Stores the game now, and runs both the game that never stopped and the one a
// new program resumes from the store to their next quiet board.
void ExpectResumedGameGoesOn(const char* where) {
  SCOPED_TRACE(where);
  const World running = Take();
  ce::srand(2024);
  ASSERT_TRUE(StepUntil(Quiet, 20000)) << "the game that never stopped";
  const GameStatus expected = gameStatus;

  Put(running);
  ce::srand(2024);
  Restart();
  ASSERT_EQ(engine.gamePhase, Running);
  ASSERT_TRUE(StepUntil(Quiet, 20000))
      << "the resumed game never comes to rest; " << gameStatus.pendingPoints << " points still owed";
  const GameStatus& g = gameStatus;
  for (int k = 0; k < kReels; ++k)
    for (int p = 1; p < kStripLength; ++p)
      EXPECT_EQ(g.reelStrip[k][p], expected.reelStrip[k][p]) << "reel " << k << " position " << p;
  EXPECT_EQ(g.score, expected.score);
  EXPECT_EQ(g.betPercent, expected.betPercent);
  EXPECT_EQ(std::memcmp(g.pendingItem, expected.pendingItem, sizeof g.pendingItem), 0);
  EXPECT_EQ(std::memcmp(g.spinStep, expected.spinStep, sizeof g.spinStep), 0);
  EXPECT_EQ(g.gameMode, expected.gameMode);
}

TEST_F(RoundTripTest, AStoredGameGoesOnInANewProgram) {
  StartGame(MainWindow(), Easy);
  FirstPlayPaint();
  Step(200);
  ASSERT_EQ(gameStatus.spinSettled, 0);
  ExpectResumedGameGoesOn("mid-spin");

  ASSERT_TRUE(StepUntil(
      [] { return gameStatus.spinSettled == 1 && AllReelsIdle() && gameStatus.matchActive == 0; }, 20000));
  Tap(ReelUp + 2);
  Step(20);
  ASSERT_EQ(gameStatus.reelMotion[2], Up);
  ExpectResumedGameGoesOn("mid-move");

  // Lay a group and let the clearing begin dissolving.
  ASSERT_TRUE(StepUntil([] { return AllReelsIdle() && gameStatus.matchActive == 0; }, 20000));
  SetBoard({6, 6, 6, 1, 2, 3, 4, 5, 1, 2, 4, 5, 1, 2, 3});
  DetectMatches();
  ASSERT_TRUE(StepUntil([] { return gameStatus.matchPause == 0; }, 100));
  Step(5);
  ASSERT_GT(BoardValue(0) % 100, 0);
  ExpectResumedGameGoesOn("mid-clear");
}

TEST_F(RoundTripTest, AMelvoriaSpinGoesOnWithItsPenalty) {
  StartGame(MainWindow(), Melvoria);
  FirstPlayPaint();
  Step(300);
  ExpectResumedGameGoesOn("opening spin");
}

// 45 points move as 22, 22 and 1: a game stored with the last point owed pays it.
TEST_F(RoundTripTest, AStoredTransferPaysItsLastPoint) {
  for (std::int32_t owed : {45, 1}) {
    SCOPED_TRACE(owed);
    ResetWorld();
    SettledGame(Easy);
    gameStatus.score = 1000;
    gameStatus.pendingPoints = owed;
    engine.meterCountdown = 0;
    ASSERT_TRUE(StepUntil([] { return gameStatus.pendingPoints == 1; }, 1000));
    ExpectResumedGameGoesOn("one point owed");
    EXPECT_EQ(gameStatus.score, 1000 + owed);
  }
}

}  // namespace
