#include "game/reels.h"

#include "app/shell_state.h"
#include "game/matching.h"
#include "game/state.h"
#include "game/tick.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"

std::int32_t SpinSpeedAt(int reel, std::int32_t step) {
  if (reel < 0 || reel >= kReels) return 0;
  const std::int32_t last = kLastSpinStep[reel];
  // The first cells speed up (reels 1..3 run their second cell at 2), the last three slow down.
  switch (step) {
    case 2:
      return reel == 0 || reel == 4 ? 3 : 2;
    case 3:
      return reel == 4 ? 0 : 3;
    case 4:
      return 5;
    case 5:
      return 9;
    case 6:
      return 15;
    default:
      break;
  }
  if (step == last - 3) return 9;
  if (step == last - 2) return 5;
  if (step == last - 1) return 3;
  return 0;
}

namespace {

// A mod and a div that match the handheld's truncating arithmetic on values of any sign.
constexpr std::int32_t Offset(std::int32_t v) {
  return v % 100;
}

void ShowSlot(int slot, std::int32_t value, std::int32_t place) {
  requests.slotItem[std::size_t(slot)] = value / 100;
  requests.slotPlace[std::size_t(slot)] = place;
  requests.slotOffset[std::size_t(slot)] = Offset(value);
}

// After a spinning reel has completed a cell.
void SpinBookkeeping(int k) {
  GameStatus& g = gameStatus;
  const std::int32_t last = kLastSpinStep[k];
  if (g.spinStep[k] < last) ++g.spinStep[k];
  const std::int32_t step = g.spinStep[k];

  if (engine.gamePhase != Running) {
    // The game-over spin: three cells at the speed it was started with. A step at or past
    // 4 (only a damaged record skips 4) also ends it.
    if (step >= 4) {
      g.spinStep[k] = 0;
      g.reelMotion[k] = ReelIdle;
      g.reelSpeed[k] = engine.savedSpeed[std::size_t(k)];
    }
    return;
  }

  if (std::int32_t speed = SpinSpeedAt(k, step)) g.reelSpeed[k] = speed;
  if (step == 2 && k < kReels - 1 && g.reelMotion[k + 1] == ReelIdle) {
    g.reelMotion[k + 1] = Down;
    g.spinStep[k + 1] = 1;
    engine.savedSpeed[std::size_t(k + 1)] = g.reelSpeed[k + 1];
    g.reelSpeed[k + 1] = 3;
  }
  // Past the last step only a damaged record goes; it ends the spin there.
  if (step >= last) {
    g.spinStep[k] = 0;
    g.reelMotion[k] = ReelIdle;
    g.reelSpeed[k] = engine.savedSpeed[std::size_t(k)];
    PlaySoundEvent(8);
    if (k == kReels - 1) {
      if (engine.lifeOut == 0) {
        requests.spinButtonLook = 12;
        InvalidateLogical(shell.mainWindow, kSpinAllRect);
      }
      if (g.gameMode == Easy || g.gameMode == Hard) g.spinSettled = 1;
    }
  }
}

// The end of a downward move of reel 4, after the shift.
void EndReel4DownMove() {
  GameStatus& g = gameStatus;
  if (g.spinStep[4] != 0 || g.gameMode != Melvoria || engine.gamePhase != Running) return;
  ApplyMovePenalty();
  if (g.matchActive == 0 && g.spinSettled == 0) {
    // A spin that formed no group costs the whole bet.
    const std::int64_t bet = std::int64_t(g.betPercent) * g.score / 100;
    g.score = g.score > bet ? SatAdd(g.score, -bet) : 0;
  }
  g.spinSettled = 1;
}

void MoveDown(int k) {
  GameStatus& g = gameStatus;
  std::int32_t* S = g.reelStrip[k];
  const std::int32_t s = g.reelSpeed[k];
  for (int p = 13; p >= 10; --p) S[p] = SatAdd(S[p], s);
  const int a = 4 * k + 1;
  ShowSlot(a, S[13], 10 + k);
  ShowSlot(a + 1, S[12], 5 + k);
  ShowSlot(a + 2, S[11], k);
  ShowSlot(a + 3, S[10], 101 + k);
  requests.reelsMovedDown = 1;
  if (Offset(S[10]) < 45) return;

  if (g.spinStep[k] > 0)
    SpinBookkeeping(k);
  else
    g.reelMotion[k] = ReelIdle;

  for (int p = 23; p >= 16; --p) S[p] = S[p - 1];
  S[15] = S[14];
  for (int p = 14; p >= 11; --p) S[p] = SatAdd(S[p - 1], -45);
  for (int p = 10; p >= 2; --p) S[p] = S[p - 1];
  S[1] = DrawFreshItem();

  if (k < kReels - 1) {
    if (g.spinStep[k] == 0) ApplyMovePenalty();
  } else {
    EndReel4DownMove();
  }
}

void MoveUp(int k) {
  GameStatus& g = gameStatus;
  std::int32_t* S = g.reelStrip[k];
  const std::int32_t s = g.reelSpeed[k];
  for (int p = 11; p <= 14; ++p) S[p] = SatAdd(S[p], s);
  const int a = 4 * k + 1;
  ShowSlot(a, S[11], k);
  ShowSlot(a + 1, S[12], 5 + k);
  ShowSlot(a + 2, S[13], 10 + k);
  ShowSlot(a + 3, S[14], 106 + k);
  requests.reelsMovedUp = 1;
  if (Offset(S[14]) < 45) return;

  g.reelMotion[k] = ReelIdle;
  for (int p = 1; p <= 9; ++p) S[p] = S[p + 1];
  for (int p = 10; p <= 13; ++p) S[p] = SatAdd(S[p + 1], -45);
  for (int p = 14; p <= 22; ++p) S[p] = S[p + 1];
  S[23] = DrawFreshItem();
  ApplyMovePenalty();
}

}  // namespace

void StepReel(int k) {
  if (k < 0 || k >= kReels) return;
  for (int slot = 4 * k + 1; slot <= 4 * k + 4; ++slot) requests.slotItem[std::size_t(slot)] = kSlotEmpty;
  switch (gameStatus.reelMotion[k]) {
    case Down:
      MoveDown(k);
      break;
    case Up:
      MoveUp(k);
      break;
    default:
      break;
  }
}

void StepMatchClear() {
  GameStatus& g = gameStatus;
  if (g.matchActive != 1) return;
  if (g.matchPause > 0) {
    --g.matchPause;
    for (std::int32_t& m : g.reelMotion) m = Locked;
    if (g.matchPause == 0) {
      for (std::int32_t& m : g.reelMotion) m = ReelIdle;
      requests.boardDirty = 1;
    }
    return;
  }
  for (int i = 0; i < kCells; ++i) requests.slotItem[std::size_t(i)] = kSlotEmpty;
  for (int i = 0; i < kCells; ++i) {
    if (g.pendingItem[i] == kNothingPending) continue;
    const int k = i % kReels;
    std::int32_t& cell = g.reelStrip[k][kTopRowPosition + i / kReels];
    g.reelMotion[k] = Locked;
    cell = SatAdd(cell, engine.replaceStep);
    const std::int32_t o = Offset(cell);
    if (o >= 40) {
      g.reelMotion[k] = ReelIdle;
      cell = g.pendingItem[i];
      g.pendingItem[i] = kNothingPending;
      g.matchActive = 0;
      g.matchPause = 38;
    } else {
      ShowSlot(i, cell, i);
      requests.replaceDirty = 1;
    }
  }
}
