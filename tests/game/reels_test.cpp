#include <array>

#include "game/world.h"

namespace {

using namespace testworld;

class ReelsTest : public EngineTest {};

using Strip = std::array<std::int32_t, kStripLength>;

Strip StripOf(int k) {
  Strip s;
  for (int p = 0; p < kStripLength; ++p) s[std::size_t(p)] = gameStatus.reelStrip[k][p];
  return s;
}

void FillStrip(int k) {
  for (int p = 1; p < kStripLength; ++p) gameStatus.reelStrip[k][p] = ((p * 5 + k) % 8) * 100;
  gameStatus.reelStrip[k][0] = 12345;  // travels with the record, never touched
}

// Runs single moves of reel k to their end; returns the ticks taken.
int RunMove(int k, std::int32_t motion) {
  gameStatus.reelMotion[k] = motion;
  int ticks = 0;
  while (gameStatus.reelMotion[k] == motion && ticks < 1000) {
    StepReel(k);
    ++ticks;
  }
  return ticks;
}

struct SpeedCase {
  std::int32_t speed;
  int ticks;     // to complete one cell
  int leftOver;  // offset the moved values keep
};
const SpeedCase kSpeeds[] = {{1, 45, 0}, {2, 23, 1}, {3, 15, 0}, {5, 9, 0}, {9, 5, 0}, {15, 3, 0}};

TEST_F(ReelsTest, ADownwardMoveShiftsTheStripByOneCell) {
  for (const SpeedCase& c : kSpeeds) {
    SCOPED_TRACE(testing::Message() << "speed " << c.speed);
    SettledGame(Easy);
    FillStrip(2);
    gameStatus.reelSpeed[2] = c.speed;
    const Strip before = StripOf(2);
    EXPECT_EQ(RunMove(2, Down), c.ticks);
    const Strip after = StripOf(2);
    EXPECT_EQ(gameStatus.reelMotion[2], ReelIdle);
    EXPECT_EQ(after[0], 12345);
    for (int p = 2; p <= 10; ++p) EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p - 1)]) << p;
    for (int p = 11; p <= 14; ++p)
      EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p - 1)] + c.leftOver) << p;
    for (int p = 15; p <= 23; ++p) EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p - 1)]) << p;
    EXPECT_EQ(after[1] % 100, 0);
  }
}

TEST_F(ReelsTest, AnUpwardMoveShiftsTheStripByOneCell) {
  for (const SpeedCase& c : kSpeeds) {
    SCOPED_TRACE(testing::Message() << "speed " << c.speed);
    SettledGame(Easy);
    FillStrip(4);
    gameStatus.reelSpeed[4] = c.speed;
    const Strip before = StripOf(4);
    EXPECT_EQ(RunMove(4, Up), c.ticks);
    const Strip after = StripOf(4);
    for (int p = 1; p <= 9; ++p) EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p + 1)]) << p;
    for (int p = 10; p <= 13; ++p)
      EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p + 1)] + c.leftOver) << p;
    for (int p = 14; p <= 22; ++p) EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p + 1)]) << p;
  }
}

TEST_F(ReelsTest, DownThenUpRestoresTheStripAtTheGameSpeeds) {
  for (std::int32_t speed : {1, 3, 5}) {
    SCOPED_TRACE(testing::Message() << "speed " << speed);
    SettledGame(Easy);
    FillStrip(1);
    gameStatus.reelSpeed[1] = speed;
    const Strip before = StripOf(1);
    RunMove(1, Down);
    RunMove(1, Up);
    const Strip after = StripOf(1);
    for (int p = 0; p <= 22; ++p) EXPECT_EQ(after[std::size_t(p)], before[std::size_t(p)]) << p;
  }
}

TEST_F(ReelsTest, AMovingReelShowsItsFourPiecesInItsSlots) {
  SettledGame(Easy);
  FillStrip(3);
  gameStatus.reelSpeed[3] = 3;
  const Strip s = StripOf(3);
  gameStatus.reelMotion[3] = Down;
  StepReel(3);
  EXPECT_EQ(requests.reelsMovedDown, 1);
  // Slots 13..16: rows 2, 1, 0 and the piece sliding in above.
  const int places[4] = {13, 8, 3, 104};
  const int positions[4] = {13, 12, 11, 10};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(requests.slotItem[std::size_t(13 + i)], s[std::size_t(positions[i])] / 100);
    EXPECT_EQ(requests.slotPlace[std::size_t(13 + i)], places[i]);
    EXPECT_EQ(requests.slotOffset[std::size_t(13 + i)], 3);
  }
  RunMove(3, Up);
  EXPECT_EQ(requests.reelsMovedUp, 1);
  // Going up the slot order is rows 0, 1, 2 and the piece sliding in below.
  const int upPlaces[4] = {3, 8, 13, 109};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(requests.slotPlace[std::size_t(13 + i)], upPlaces[i]);
  StepReel(3);  // at rest the reel's slots are emptied
  for (int i = 0; i < 4; ++i) EXPECT_EQ(requests.slotItem[std::size_t(13 + i)], kSlotEmpty);
}

// Per reel, the speed of every cell a "Spin All" turns.
std::vector<std::int32_t> Schedule(std::vector<std::int32_t> start, int fast) {
  std::vector<std::int32_t> s = start;
  s.insert(s.end(), std::size_t(fast), 15);
  for (std::int32_t v : {9, 5, 3}) s.push_back(v);
  return s;
}

TEST_F(ReelsTest, SpinAllCascadesThroughTheFiveReelsByItsSchedule) {
  OpenSounds();
  SettledGame(Easy);
  engine.gamePhase = Running;
  Tap(SpinAll);
  EXPECT_EQ(TakeSounds(), std::vector<int>{5});
  EXPECT_EQ(gameStatus.lifeLoss, 3);

  std::vector<std::int32_t> cells[5];
  int startTick[5] = {0, -1, -1, -1, -1};
  int stopTick[5] = {-1, -1, -1, -1, -1};
  for (int tick = 1; tick < 5000 && !(AllReelsIdle() && tick > 1); ++tick) {
    for (int k = 0; k < 5; ++k) {
      const std::int32_t step = gameStatus.spinStep[k];
      const std::int32_t speed = gameStatus.reelSpeed[k];
      const bool moving = gameStatus.reelMotion[k] == Down;
      if (moving && startTick[k] < 0) startTick[k] = tick;
      StepReel(k);
      if (moving && gameStatus.spinStep[k] != step) cells[k].push_back(speed);
      if (moving && gameStatus.reelMotion[k] == ReelIdle) stopTick[k] = tick;
    }
  }
  EXPECT_EQ(cells[0], Schedule({2, 3, 3, 5, 9}, 36));
  EXPECT_EQ(cells[1], Schedule({3, 2, 3, 5, 9}, 50));
  EXPECT_EQ(cells[2], Schedule({3, 2, 3, 5, 9}, 64));
  EXPECT_EQ(cells[3], Schedule({3, 2, 3, 5, 9}, 78));
  EXPECT_EQ(cells[4], Schedule({3, 3, 3, 5, 9}, 92));
  // Each reel starts in the tick the one before it turns its first cell, and they stop left to right.
  EXPECT_EQ(startTick[1], 23);
  EXPECT_EQ(startTick[2], 23 + 14);
  for (int k = 1; k < 5; ++k) EXPECT_GT(stopTick[k], stopTick[k - 1]);
  EXPECT_EQ(TakeSounds(), std::vector<int>(5, 6));

  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(gameStatus.reelSpeed[k], 1);
    EXPECT_EQ(gameStatus.spinStep[k], 0);
  }
  EXPECT_EQ(gameStatus.spinSettled, 1);
  EXPECT_EQ(requests.spinButtonLook, 12);
}

TEST_F(ReelsTest, SpinAllSettlesOnlyInEasyAndHardAtTheLastReel) {
  for (std::int32_t mode : {Easy, Hard, Melvoria}) {
    SCOPED_TRACE(mode);
    SettledGame(mode);
    Tap(SpinAll);
    EXPECT_EQ(gameStatus.spinSettled, 0);
    for (int i = 0; i < 5000 && !AllReelsIdle(); ++i)
      for (int k = 0; k < 5; ++k) StepReel(k);
    // Melvoria settles in the penalty check after reel 4's move instead.
    EXPECT_EQ(gameStatus.spinSettled, 1);
  }
}

TEST_F(ReelsTest, AReelBusyAtItsStartStopsTheCascade) {
  SettledGame(Easy);
  Tap(SpinAll);
  Tap(ReelUp + 1);  // reel 1 moves up during reel 0's first spin cell
  EXPECT_EQ(gameStatus.reelMotion[1], Up);
  int turned0 = 0;
  for (int i = 0; i < 5000 && !AllReelsIdle(); ++i) {
    std::int32_t step = gameStatus.spinStep[0];
    for (int k = 0; k < 5; ++k) StepReel(k);
    if (gameStatus.spinStep[0] != step) ++turned0;
    for (int k = 2; k < 5; ++k) ASSERT_EQ(gameStatus.reelMotion[k], ReelIdle);
  }
  EXPECT_EQ(turned0, 44);
  EXPECT_EQ(gameStatus.spinStep[1], 0);
  EXPECT_EQ(gameStatus.spinSettled, 0);
  EXPECT_EQ(gameStatus.reelSpeed[0], 1);
}

TEST_F(ReelsTest, TheGameOverSpinTurnsEachReelThreeCellsSilently) {
  OpenSounds();
  SettledGame(Easy);
  engine.gamePhase = Ending;
  for (int k = 0; k < 5; ++k) {
    FillStrip(k);
    gameStatus.reelMotion[k] = Down;
    gameStatus.spinStep[k] = 1;
    engine.savedSpeed[std::size_t(k)] = 3;
    gameStatus.reelSpeed[k] = 3;
  }
  const Strip before = StripOf(0);
  int ticks = 0;
  while (!AllReelsIdle() && ticks < 1000) {
    for (int k = 0; k < 5; ++k) StepReel(k);
    ++ticks;
  }
  EXPECT_EQ(ticks, 45);
  EXPECT_EQ(gameStatus.reelStrip[0][14], before[11]);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(gameStatus.reelSpeed[k], 3);
  EXPECT_TRUE(TakeSounds().empty());
}

struct ClearCase {
  std::int32_t replaceStep;
  std::vector<int> offsets;  // shown while dissolving
};

TEST_F(ReelsTest, MatchedCellsPauseThenDissolveIntoTheirNewItems) {
  std::vector<int> ones, threes;
  for (int o = 1; o <= 39; ++o) ones.push_back(o);
  for (int o = 3; o <= 39; o += 3) threes.push_back(o);
  for (const ClearCase& c : {ClearCase{1, ones}, ClearCase{3, threes}}) {
    SCOPED_TRACE(testing::Message() << "replaceStep " << c.replaceStep);
    SettledGame(Easy);
    engine.replaceStep = c.replaceStep;
    SetBoard({2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    DetectMatches();
    const std::int32_t fresh[3] = {gameStatus.pendingItem[0], gameStatus.pendingItem[1],
                                   gameStatus.pendingItem[2]};
    for (int t = 1; t <= 38; ++t) {
      StepMatchClear();
      for (int k = 0; k < 5; ++k) ASSERT_EQ(gameStatus.reelMotion[k], t < 38 ? Locked : ReelIdle) << t;
    }
    EXPECT_EQ(requests.boardDirty, 1);
    std::vector<int> shown;
    while (gameStatus.matchActive == 1 && shown.size() < 100) {
      requests.replaceDirty = 0;
      StepMatchClear();
      if (requests.replaceDirty == 1) {
        shown.push_back(requests.slotOffset[1]);
        EXPECT_EQ(requests.slotItem[1], 2);
        EXPECT_EQ(requests.slotPlace[1], 1);
        EXPECT_EQ(gameStatus.reelMotion[1], Locked);
        EXPECT_EQ(requests.slotItem[3], kSlotEmpty);
      }
    }
    EXPECT_EQ(shown, c.offsets);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(BoardValue(i), fresh[i]);
      EXPECT_EQ(gameStatus.pendingItem[i], kNothingPending);
    }
    EXPECT_EQ(gameStatus.matchPause, 38);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(gameStatus.reelMotion[k], ReelIdle);
  }
}

}  // namespace
