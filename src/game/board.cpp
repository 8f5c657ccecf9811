#include "game/board.h"

#include "app/popup.h"
#include "app/shell_state.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"

std::int32_t RandomBelow(std::int32_t n) {
  return static_cast<std::int32_t>((std::int64_t(ce::rand()) * n) / 32768);
}

namespace {

// Pixels per tick of a single move and the replacement step, by gameSpeed; false for an unknown speed.
bool SpeedFor(std::int32_t gameSpeed, std::int32_t* reelSpeed, std::int32_t* replaceStep) {
  switch (gameSpeed) {
    case 1:
      *reelSpeed = 1;
      *replaceStep = 1;
      return true;
    case 2:
      *reelSpeed = 3;
      *replaceStep = 3;
      return true;
    case 3:
      *reelSpeed = 5;
      *replaceStep = 3;
      return true;
    default:
      return false;
  }
}

}  // namespace

void ResetGame() {
  GameStatus& g = gameStatus;
  ce::srand(ce::GetTickCount());

  engine.transferSeen = 0;
  g.score = 0;
  if (g.gameMode == Melvoria) g.score = 1000;
  engine.transferChunk = 0;
  engine.lifeOut = 0;
  engine.transferLeft = 0;

  g.betPercent = 3;
  engine.buttonPressed = 1;
  g.pendingPoints = 0;

  for (std::int32_t& s : g.spinStep) s = 0;
  engine.betUpState = 0;
  g.spinSettled = 0;
  engine.sequenceCount = 0;

  g.life = 17;
  g.lifeGain = 0;
  g.lifeLoss = 0;

  for (std::int32_t& p : g.pendingItem) p = kNothingPending;
  g.matchActive = 0;
  g.matchPause = 38;

  engine.reelButtonsReady = 0;
  engine.spinButtonReady = 0;
  engine.makeScoreReady = 0;
  engine.betKeysReady = 0;
  for (std::int32_t& m : g.reelMotion) m = ReelIdle;
  requests.gameOverBanner = 0;
  requests.scoreBanner = 0;
  shell.dragArmed = 0;

  std::int32_t speed = 0, step = 0;
  if (SpeedFor(g.gameSpeed, &speed, &step)) {
    for (std::int32_t& s : g.reelSpeed) s = speed;
    engine.replaceStep = step;
  }

  for (auto& strip : g.reelStrip)
    for (int p = 1; p < kStripLength; ++p) strip[p] = Blank;
  for (int p = 1; p <= 10; ++p)
    for (auto& strip : g.reelStrip) strip[p] = RandomBelow(8) * 100;
}

void StartGame(ce::HWND window, std::int32_t mode) {
  if (gameStatus.helpEnabled == 1 && shell.helpShownThisSession == 0) {
    shell.PopupState = Help;
    shell.popupControls = 0;
    shell.helpPage = 0;
    shell.pendingMode = mode;
    CreatePopup(shell.instance, 0, 38, 240, 240);
    return;
  }
  if (mode < Easy || mode > Melvoria) return;
  gameStatus.gameMode = mode;
  FreeBitmapSlots();
  shell.ScreenState = Play;
  shell.BackgroundReady = 0;
  shell.settingsOkPressed = 0;
  InvalidateScreen(window, display.DisplayMode);
}

void BeginNewGame() {
  GameStatus& g = gameStatus;
  ResetGame();
  g.reelMotion[0] = Down;
  for (int k = 1; k < kReels; ++k) g.reelMotion[k] = ReelIdle;
  g.spinStep[0] = 1;
  engine.savedSpeed[0] = g.reelSpeed[0];
  g.reelSpeed[0] = 3;
  PlaySoundEvent(9);
}

void ContinueGame(ce::HWND window) {
  ce::SetTimer(window, kGameTimer, 1, nullptr);
  requests.boardDirty = 1;
  engine.reelButtonsReady = 1;
  std::int32_t speed = 0, step = 0;
  if (SpeedFor(gameStatus.gameSpeed, &speed, &step))
    for (std::int32_t& s : engine.savedSpeed) s = speed;
  engine.holdTicks = 10;
  engine.meterPeriod = 40;
  engine.checkPeriod = 90;
  engine.buttonPressed = 1;
  engine.sequenceCount = 0;
  if (gameStatus.spinSettled == 1) requests.spinButtonLook = 12;
  engine.resumePending = 0;
}
