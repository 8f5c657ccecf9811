#include "game/commands.h"

#include "game/state.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"

namespace {

void ReelCommand(ce::HWND window, std::int32_t command) {
  GameStatus& g = gameStatus;
  const bool up = command <= 5;
  const int k = (command - 1) % 5;
  const LogicalRect r = up ? UpArrowRect(k) : DownArrowRect(k);
  if (engine.buttonPressed == 1) {
    PlaySoundEvent(2);
    requests.buttonToRedraw = command + 1;
    InvalidateLogical(window, r);
    engine.holdCountdown = engine.holdTicks;
    // Reels 3 and 4 wait for the opening spin to settle.
    if (g.reelMotion[k] == ReelIdle && g.matchActive == 0 && (k < 3 || g.spinSettled == 1) &&
        g.spinStep[k] == 0)
      g.reelMotion[k] = up ? Up : Down;
  } else {
    requests.buttonToRedraw = command + 1;
    InvalidateLogical(window, r);
  }
}

void SpinAllCommand(ce::HWND window) {
  GameStatus& g = gameStatus;
  if (!AllReelsIdle() || g.matchActive != 0 || engine.spinButtonReady != 1) return;
  if (engine.buttonPressed == 1) {
    PlaySoundEvent(9);
    requests.spinButtonLook = 13;
    InvalidateLogical(window, kSpinAllRect);
    g.lifeLoss = SatAdd(g.lifeLoss, engine.spinCost);
    engine.holdCountdown = engine.holdTicks;
    g.reelMotion[0] = Down;
    g.spinStep[0] = 1;
    engine.savedSpeed[0] = g.reelSpeed[0];
    g.reelSpeed[0] = 2;
    g.spinSettled = 0;
  } else {
    requests.spinButtonLook = 12;
    InvalidateLogical(window, kSpinAllRect);
    if (g.spinSettled == 1) {
      requests.spinButtonLook = 14;
      InvalidateLogical(window, kSpinAllRect);
    }
  }
}

void MakeScoreCommand(ce::HWND window) {
  if (engine.makeScoreReady != 1) return;
  if (engine.buttonPressed == 1) {
    PlaySoundEvent(6);
    requests.panelRequest = 25;
    InvalidateLogical(window, kMakeScoreRect);
    InvalidateLogical(window, UpArrowRow());
    InvalidateLogical(window, DownArrowRow());
    InvalidateLogical(window, kSpinAllRect);
    engine.holdCountdown = engine.holdTicks;
    gameStatus.life = 0;
  } else {
    requests.panelRequest = 22;
    InvalidateLogical(window, kMakeScoreRect);
    engine.buttonPressed = 1;
  }
}

void BetCommand(ce::HWND window, bool up) {
  GameStatus& g = gameStatus;
  if (engine.betKeysReady != 1 || g.spinSettled != 1) return;
  if (engine.buttonPressed == 1) {
    PlaySoundEvent(1);
    requests.panelRequest = up ? 31 : 32;
    InvalidateLogical(window, kBetKeysRect);
    engine.holdCountdown = engine.holdTicks;
    if (up) {
      if (g.betPercent < 97)
        g.betPercent += 3;
      else if (g.betPercent == 99)
        g.betPercent = 3;
    } else {
      if (g.betPercent >= 4)
        g.betPercent -= 3;
      else if (g.betPercent == 3)
        g.betPercent = 99;
    }
  } else {
    requests.panelRequest = 30;
    InvalidateLogical(window, kBetKeysRect);
    engine.buttonPressed = 1;
  }
}

}  // namespace

void ExecuteCommand(ce::HWND window, std::int32_t command) {
  engine.lastCommand = command;
  if (command >= ReelUp && command <= ReelDown + 4) {
    if (engine.reelButtonsReady == 1) ReelCommand(window, command);
  } else if (command == SpinAll) {
    SpinAllCommand(window);
  } else if (command == MakeScore) {
    MakeScoreCommand(window);
  } else if (command == BetUp || command == BetDown) {
    BetCommand(window, command == BetUp);
  }
}
