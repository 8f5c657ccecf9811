#include "game/tick.h"

#include "app/shell_state.h"
#include "game/board.h"
#include "game/commands.h"
#include "game/difficulty.h"
#include "game/matching.h"
#include "game/reels.h"
#include "game/state.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace {

void StepAllReels() {
  for (int k = 0; k < kReels; ++k) StepReel(k);
}

// The controls go dark: arrows and MAKE SCORE hidden, Spin All disabled.
void DisableControlsForLifeOut(ce::HWND window) {
  requests.panelRequest = 24;
  InvalidateLogical(window, UpArrowRow());
  InvalidateLogical(window, DownArrowRow());
  InvalidateLogical(window, kMakeScoreRect);
  requests.spinButtonLook = 14;
  InvalidateLogical(window, kSpinAllRect);
}

// At least one point a step while any is owed: a resumed rest of 1 would halve to 0.
std::int32_t ChunkFor(std::int32_t n) {
  if (n <= 1) return n > 0 ? 1 : 0;
  if (n <= 299) return n / 2;
  if (n <= 1999) return n / 3;
  return n / 4;
}

}  // namespace

void GameTick(ce::HWND window) {
  switch (engine.gamePhase) {
    case NotStarted:
      engine.holdTicks = 10;
      engine.meterPeriod = 40;
      engine.checkPeriod = 90;
      engine.reelButtonsReady = 1;
      ce::SetTimer(window, kGameTimer, 2, nullptr);
      engine.gamePhase = Running;
      break;
    case Running:
      StepAllReels();
      if (engine.meterCountdown == 0) {
        MeterTick(window);
        InvalidateLogical(window, kBetBoxRect);
        InvalidateLogical(window, kScoreBoxRect);
        InvalidateLogical(window, kLifeBarRect);
        engine.meterCountdown = engine.meterPeriod;
      }
      if (gameStatus.spinSettled == 1 && engine.checkCountdown == 0) {
        UpdateDifficulty();
        DetectMatches();
        engine.checkCountdown = engine.checkPeriod;
      }
      if (engine.holdCountdown == 1) {
        engine.buttonPressed = 0;
        ExecuteCommand(window, engine.lastCommand);
        engine.holdCountdown = 0;
      }
      StepMatchClear();
      if (engine.holdCountdown > 1) --engine.holdCountdown;
      if (engine.meterCountdown > 0) --engine.meterCountdown;
      if (engine.checkCountdown > 0) --engine.checkCountdown;
      break;
    case Ending:
      StepAllReels();
      StepGameOver(window);
      break;
    default:
      break;
  }
  InvalidateLogical(window, kTopAreaRect);
  InvalidateLogical(window, BoardRect());
}

void MeterTick(ce::HWND window) {
  GameStatus& g = gameStatus;
  if (g.lifeGain > 0 && g.lifeLoss > 0) {
    if (g.lifeGain >= g.lifeLoss) {
      g.lifeGain -= g.lifeLoss;
      g.lifeLoss = 0;
    } else {
      g.lifeLoss -= g.lifeGain;
      g.lifeGain = 0;
    }
  }

  if (g.life > 0) {
    if (g.lifeGain > 0 && g.life < 30) {
      ++g.life;
      --g.lifeGain;
    }
    if (g.lifeLoss > 0 && g.life > 0) {
      --g.life;
      --g.lifeLoss;
    }
  }

  if (g.life == 0) {
    if (engine.lifeOut == 0) {
      g.lifeGain = 0;
      g.lifeLoss = 0;
      DisableControlsForLifeOut(window);
      engine.lifeOut = 1;
    }
    if (g.spinSettled == 1) {
      // The last chance: a group on the settled board keeps the game going.
      engine.lifeOut = 0;
      DetectMatches();
      engine.lifeOut = 1;
      if (g.matchActive == 0) {
        engine.gamePhase = Ending;
      } else {
        requests.panelRequest = 20;
        InvalidateLogical(window, UpArrowRow());
        InvalidateLogical(window, DownArrowRow());
        requests.spinButtonLook = 12;
        InvalidateLogical(window, kSpinAllRect);
        g.life = 1;
        engine.lifeOut = 0;
      }
    }
  }

  if (g.life >= 30 && engine.betUpState == 0) {
    engine.betUpState = 1;
    g.lifeGain = 0;
    g.lifeLoss = 13;
    PlaySoundEvent(4);
    if (g.gameMode == Melvoria) {
      g.pendingPoints = SatAdd(g.pendingPoints, std::int64_t(g.betPercent) * 100);
    } else if (g.betPercent < 97) {
      g.betPercent += 3;
      if (g.betPercent >= 97) g.pendingPoints = SatAdd(g.pendingPoints, 5000);
    } else {
      g.pendingPoints = SatAdd(g.pendingPoints, 5000);
    }
  }

  if (engine.betUpState > 0 && engine.sequenceCount < 12) {
    ++engine.sequenceCount;
    if (AllReelsIdle()) requests.refillRequest = 1;
  }
  if (engine.sequenceCount == 12 && AllReelsIdle()) {
    engine.betUpState = 0;
    requests.refillRequest = 0;
    engine.sequenceCount = 0;
    requests.boardDirty = 1;
    requests.metersDirty = 1;
    return;
  }
  requests.metersDirty = 1;
}

void RefillBlankCells() {
  for (int i = 0; i < kCells; ++i) {
    if (BoardValue(i) != 0) continue;
    DrawRefillItem(i);
    gameStatus.matchActive = 1;
  }
  requests.refillRequest = 0;
}

// pendingPoints holds the points not yet in the score: each step takes its chunk off,
// so points won while a transfer runs join what is still owed and move once.
void TransferScore(ce::HWND window) {
  GameStatus& g = gameStatus;
  std::int32_t n = g.pendingPoints;
  if (n != engine.transferSeen) {
    const bool running = engine.transferLeft > 0;
    if (g.gameMode == Melvoria && n < 12 && !running) {
      n = 12;
      g.pendingPoints = 12;
    }
    engine.transferSeen = n;
    engine.transferLeft = n;
    engine.transferChunk = ChunkFor(n);
  } else if (n > 0) {
    PlaySoundEvent(5);
    if (engine.transferLeft > engine.transferChunk) {
      g.score = SatAdd(g.score, engine.transferChunk);
      engine.transferLeft -= engine.transferChunk;
      g.pendingPoints = engine.transferLeft;
      engine.transferSeen = engine.transferLeft;
    } else {
      g.score = SatAdd(g.score, engine.transferLeft);
      engine.transferSeen = 0;
      engine.transferLeft = 0;
      g.pendingPoints = 0;
    }
  }

  if (g.score > 999999) {
    g.score = 999999 - RandomBelow(3000);
    engine.transferSeen = 0;
    engine.transferLeft = 0;
    g.pendingPoints = 0;
  } else if (g.gameMode == Melvoria && g.score <= 2) {
    requests.panelRequest = 24;
    g.score = 0;
    g.lifeGain = 0;
    g.lifeLoss = 0;
    InvalidateLogical(window, UpArrowRow());
    InvalidateLogical(window, DownArrowRow());
    InvalidateLogical(window, kMakeScoreRect);
    requests.spinButtonLook = 14;
    InvalidateLogical(window, kSpinAllRect);
    engine.lifeOut = 1;
    engine.gamePhase = Ending;
  }
}

void ApplyMovePenalty() {
  GameStatus& g = gameStatus;
  if (g.gameMode != Melvoria || engine.gamePhase != Running) return;
  const std::uint8_t wasOut = engine.lifeOut;
  engine.lifeOut = 0;
  DetectMatches();
  if (wasOut == 1) engine.lifeOut = 1;
  if (g.matchActive == 1 || g.spinSettled != 1) return;
  // A move that formed no group costs half the bet.
  // A damaged negative bet makes this a gain, which stops at the top of the range.
  const std::int64_t half = std::int64_t(g.betPercent) * g.score / 100 / 2;
  g.score = g.score > half ? SatAdd(g.score, -half) : 0;
}

void StepGameOver(ce::HWND window) {
  GameStatus& g = gameStatus;
  const std::int32_t c = engine.sequenceCount;
  if (c == 30) {
    // The unpaid rest of a running transfer.
    if (std::int64_t(g.score) + engine.transferLeft < 999999) g.score = SatAdd(g.score, engine.transferLeft);
    for (auto& strip : g.reelStrip) strip[8] = strip[9] = strip[10] = Blank;
  } else {
    if (c == 1) PlaySoundEvent(3);
    if (c == 100 && AllReelsIdle()) {
      for (int k = 0; k < kReels; ++k) {
        g.reelMotion[k] = Down;
        g.spinStep[k] = 1;
        engine.savedSpeed[std::size_t(k)] = 3;
        g.reelSpeed[k] = 3;
      }
      g.spinSettled = 0;
    }
  }
  if (c >= 0 && c <= 199) {
    if (requests.gameOverBanner == 0) requests.gameOverBanner = 1;
    if (c > 50 && requests.scoreBanner == 0) requests.scoreBanner = 1;
  }
  if (c == 200) {
    requests.gameOverBanner = 0;
    requests.scoreBanner = 0;
    ce::KillTimer(window, kGameTimer);
    engine.shownTable = g.gameMode;
    if (g.gameMode >= Easy && g.gameMode <= Melvoria) {
      if (QualifiesForHiScore(g.gameMode, g.score)) {
        shell.ScreenState = NewHiScore;
      } else {
        shell.ScreenState = HiScores;
        shell.settingsOkPressed = 0;
      }
    }
    shell.BackgroundReady = 0;
    InvalidateScreen(window, display.DisplayMode);
  }
  if (engine.sequenceCount < 0x7FFFFFFF) ++engine.sequenceCount;
}
