#include "app/leaving.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/commands.h"
#include "game/state.h"
#include "render/play_screen.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/registry_store.h"

namespace {

bool Inside(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && x <= right && y >= top && y <= bottom;
}

// A command from a tapped button or a key: the combo starts over.
void ButtonCommand(ce::HWND window, std::int32_t command) {
  ExecuteCommand(window, command);
  engine.comboLevel = 1;
}

// A reel move is charged whether or not the command lets the reel turn.
void ReelCommand(ce::HWND window, std::int32_t command) {
  ButtonCommand(window, command);
  gameStatus.lifeLoss = SatAdd(gameStatus.lifeLoss, engine.moveCost);
}

// The tap range of reel k's arrows: reel 0 takes both of its edges, the others
// only their right one, so a tap on a border belongs to the left reel.
bool InArrowColumn(int x, int k) {
  const int left = engine.boardX + 42 * k;
  return k == 0 ? x >= left && x <= left + 42 : x >= left + 1 && x <= left + 42;
}

// The game keeps ticking behind a question; one that ended meanwhile has gone on
// to its game-over sequence, the name entry or the table, and the answer is late.
bool StillPlaying() {
  return shell.ScreenState == Play && engine.gamePhase == Running;
}

void AskAbandon(ce::HWND window) {
  const int answer =
      ce::MessageBoxW(window, u"Do you want to abandon this game and go back to the main menu?",
                      u"Abandon this Game?", ce::MB_YESNO | ce::MB_ICONEXCLAMATION);
  if (answer == ce::IDYES && StillPlaying()) {
    ce::KillTimer(window, kGameTimer);
    shell.settingsOkPressed = 0;
    shell.BackgroundReady = 0;
    shell.ScreenState = MainMenu;
    InvalidateScreen(window, display.DisplayMode);
    gameStatus.gameMode = 0;
    StoreForLater();  // an abandoned game never comes back
    return;
  }
  if (shell.ScreenState != Play) return;
  topAreaDirty = 1;
  InvalidateLogical(window, 14, 35, 226, 89);
}

void AskExit(ce::HWND window) {
  const int answer =
      ce::MessageBoxW(window, u"Do you want to exit the game but be able to continue another time?",
                      u"Exit the Game?", ce::MB_YESNO | ce::MB_ICONEXCLAMATION);
  if (answer == ce::IDYES && StillPlaying()) {
    ce::KillTimer(window, kGameTimer);
    SaveStore();  // a failed save is told, then it quits
    ce::PostQuitMessage(0);
    return;
  }
  if (shell.ScreenState != Play) return;
  topAreaDirty = 1;
  InvalidateLogical(window, 14, 35, 226, 89);
}

void MarkCursor(ce::HWND window, std::int32_t n) {
  keyCursor = n;
  cursorMark = n;
  const LogicalRect up = UpArrowRow();
  const LogicalRect down = DownArrowRow();
  InvalidateLogical(window, up.left, up.top, up.right, up.bottom);
  InvalidateLogical(window, down.left, down.top, down.right, down.bottom);
}

}  // namespace

void PlayPointerDown(ce::HWND window, int x, int y) {
  engine.buttonPressed = 1;
  shell.dragArmed = 1;
  shell.dragStartY = y;

  // The panel's buttons do not overlap; each is tested in turn.
  if (Inside(x, y, 164, 268, 216, 311)) ButtonCommand(window, SpinAll);
  if (Inside(x, y, 23, 270, 62, 305)) ButtonCommand(window, MakeScore);
  if (Inside(x, y, 80, 273, 114, 303)) ButtonCommand(window, BetDown);
  if (Inside(x, y, 115, 273, 148, 303)) {
    ButtonCommand(window, BetUp);
    return;
  }

  const int upTop = engine.boardY - 15, upBottom = engine.boardY - 1;
  const int downTop = engine.boardY + 136, downBottom = engine.boardY + 150;
  for (int k = 0; k < kReels; ++k) {
    if (InArrowColumn(x, k) && y >= upTop && y <= upBottom) {
      ReelCommand(window, ReelUp + k);
      return;
    }
  }
  for (int k = 0; k < kReels; ++k) {
    if (InArrowColumn(x, k) && y >= downTop && y <= downBottom) {
      ReelCommand(window, ReelDown + k);
      return;
    }
  }

  const int ax = iconAnchor.x, ay = iconAnchor.y;
  if (Inside(x, y, ax, ay, ax + 17, ay + 17)) {
    AskAbandon(window);
  } else if (Inside(x, y, ax - 18, ay, ax - 1, ay + 17)) {
    AskExit(window);
  }
}

void PlayPointerMove(ce::HWND, int x, int y) {
  if (engine.reelButtonsReady != 1 || shell.dragArmed != 1) return;
  if (y < engine.boardY || y > engine.boardY + 134) return;
  int k = -1;
  for (int r = 0; r < kReels; ++r) {
    const int left = engine.boardX + 42 * r;
    if (x >= left && x <= left + 41) {
      k = r;
      break;
    }
  }
  if (k < 0) return;

  const std::int32_t d = shell.dragStartY;
  std::int32_t motion = ReelIdle;
  if (y > d + 1) {
    motion = Down;
  } else if (y < d - 1) {
    motion = Up;
  } else {
    return;
  }
  GameStatus& g = gameStatus;
  if (g.reelMotion[k] != ReelIdle) return;
  if (g.matchActive != 0) return;
  if (k >= 3 && g.spinSettled != 1) return;
  if (g.spinStep[k] != 0) return;
  g.reelMotion[k] = motion;
  PlaySoundEvent(2);
  shell.dragArmed = 0;
  engine.comboLevel = 1;
  g.lifeLoss = SatAdd(g.lifeLoss, engine.moveCost);
}

void PlayPointerUp(ce::HWND, int, int) {
  shell.dragStartY = 0;
}

void PlayKeyUp(ce::UINT virtualKey, ce::HWND window) {
  const std::int32_t n = keyCursor;
  const bool selected = n >= 1 && n <= 5;
  switch (virtualKey) {
    case ce::VK_RETURN:
      if (selected) {
        ButtonCommand(window, SpinAll);
      } else {
        MarkCursor(window, 1);
      }
      break;
    case ce::VK_LEFT:
      if (!selected) {
        MarkCursor(window, 1);
      } else if (n > 1) {
        MarkCursor(window, n - 1);
      }
      break;
    case ce::VK_RIGHT:
      if (!selected) {
        MarkCursor(window, 1);
      } else if (n < 5) {
        MarkCursor(window, n + 1);
      }
      break;
    case ce::VK_UP:
    case ce::VK_DOWN:
      if (!selected) {
        MarkCursor(window, 1);
      } else if (gameStatus.reelMotion[n - 1] == ReelIdle && gameStatus.matchActive == 0) {
        ReelCommand(window, (virtualKey == ce::VK_UP ? ReelUp : ReelDown) + (n - 1));
      }
      break;
    default:
      break;
  }
}
