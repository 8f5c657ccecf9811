// Taps, drags and hard keys on the main menu, the hi-score screen, the name
// entry and the settings screen. Coordinates arrive logical.
#include <algorithm>

#include "app/leaving.h"
#include "app/popup.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/hiscore_screen.h"
#include "screens/menu_layout.h"
#include "screens/screen_common.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"
#include "store/registry_store.h"

std::int32_t keyCursor = 0;
std::int32_t cursorMark = 0;

namespace {

void Show(ce::HWND window, std::int32_t screen) {
  shell.BackgroundReady = 0;
  shell.ScreenState = screen;
  InvalidateScreen(window, display.DisplayMode);
}

// Hi-scores (item 4) or settings (item 5) from the main menu.
void OpenFromMenu(ce::HWND window, std::int32_t screen) {
  shell.settingsOkPressed = 0;
  Show(window, screen);
}

void MarkMenuItem(ce::HWND window, std::int32_t item) {
  keyCursor = item;
  cursorMark = item;
  const MenuLayout& m = menuLayout;
  InvalidateLogical(window, m.menuX - 8, m.menuY, m.menuX, m.menuY + 138);
}

void MainMenuPointerDown(ce::HWND window, int x, int y) {
  if (shell.PopupState != NoPopup) return;
  const MenuLayout& m = menuLayout;
  const int right = m.menuX + 114;
  for (int mode = Easy; mode <= Melvoria; ++mode) {
    const int top = m.menuY + 28 * (mode - 1);
    if (Within(x, y, m.menuX, top, right, top + 27)) {
      EmptyBitmapSlots(1, 1);
      StartGame(window, mode);
      return;
    }
  }
  if (Within(x, y, m.menuX, m.menuY + 84, right, m.menuY + 111)) {
    EmptyBitmapSlots(1, 1);
    OpenFromMenu(window, HiScores);
  } else if (Within(x, y, m.menuX, m.menuY + 112, right, m.menuY + 138)) {
    EmptyBitmapSlots(1, 1);
    OpenFromMenu(window, Settings);
  } else if (Within(x, y, m.makerX, m.makerY, m.makerX + 70, m.makerY + 16) ||
             Within(x, y, m.logoX, m.logoY, m.logoX + 220, m.logoY + 120)) {
    shell.PopupState = About;
    shell.popupControls = 0;
    CreatePopup(shell.instance, 0, 38, 240, 240);
  } else if (Within(x, y, 222, 0, 240, 17)) {  // the close box; a failed save is told, then it quits
    SaveStore();
    CloseSoundDevices();
    ce::PostQuitMessage(0);
  } else {
    Show(window, MainMenu);
  }
}

void MainMenuKeyUp(ce::UINT key, ce::HWND window) {
  switch (key) {
    case ce::VK_RETURN:
      if (keyCursor >= 1 && keyCursor <= 3) {
        StartGame(window, keyCursor);
      } else if (keyCursor == 4) {
        OpenFromMenu(window, HiScores);
      } else if (keyCursor == 5) {
        OpenFromMenu(window, Settings);
      }
      break;
    case ce::VK_UP:
      if (keyCursor == 0) {
        MarkMenuItem(window, 1);
      } else if (keyCursor >= 2 && keyCursor <= 5) {
        MarkMenuItem(window, keyCursor - 1);
      }
      break;
    case ce::VK_DOWN:
      if (keyCursor >= 0 && keyCursor <= 4) MarkMenuItem(window, keyCursor + 1);
      break;
    default:
      break;
  }
}

void LeaveHiScores(ce::HWND window) {
  shell.settingsOkPressed = 0;
  Show(window, MainMenu);
  gameStatus.gameMode = NoGame;
}

void ShowTable(ce::HWND window, std::int32_t table) {
  engine.shownTable = table;
  Show(window, HiScores);
}

void AskResetHiScores(ce::HWND window) {
  const int answer = ce::MessageBoxW(window, u"Are you sure you want to erase all Hi-Scores?",
                                     u"Reset Hi-Scores", ce::MB_YESNO | ce::MB_ICONEXCLAMATION);
  if (answer == ce::IDYES) {
    ResetHiScores();
    StoreForLater();  // before the box that says so
    ce::MessageBoxW(window, u"The High Score tables have been reset.\n\nThe Default scores have been saved.",
                    u"Reset Hi-Scores", ce::MB_OK);
    shell.BackgroundReady = 0;
  }
  InvalidateScreen(window, display.DisplayMode);
}

void HiScoresPointerDown(ce::HWND window, int x, int y) {
  if (shell.PopupState != NoPopup) return;
  constexpr int tx = 161, ty = 286;
  for (int t = 0; t < 3; ++t) {
    if (Within(x, y, tx + 25 * t, ty, tx + 25 * t + 24, ty + 32)) {
      ShowTable(window, t + 1);
      return;
    }
  }
  if (Within(x, y, 4, 286, 34, 318)) {
    shell.PopupState = ExportCode;
    shell.popupControls = 0;
    CreatePopup(shell.instance, 0, 140, 240, 180);
  } else if (Within(x, y, 190, 45, 240, 62)) {
    AskResetHiScores(window);
  } else {
    EmptyBitmapSlots(5, 5);
    LeaveHiScores(window);
  }
}

void HiScoresKeyUp(ce::UINT key, ce::HWND window) {
  switch (key) {
    case ce::VK_RETURN:
    case ce::VK_UP:
    case ce::VK_DOWN:
      LeaveHiScores(window);
      break;
    case ce::VK_LEFT:
      if (engine.shownTable == 2 || engine.shownTable == 3) ShowTable(window, engine.shownTable - 1);
      break;
    case ce::VK_RIGHT:
      if (engine.shownTable == 1 || engine.shownTable == 2) ShowTable(window, engine.shownTable + 1);
      break;
    default:
      break;
  }
}

// Every way off the settings page keeps what was set there: stored at once.
void LeaveSettings(ce::HWND window) {
  Show(window, MainMenu);
  StoreForLater();
}

// 1 Normal, 2 Fast, 3 Fastest for a tap on its button; 0 between or beside them.
int SpeedButtonAt(int x, int y) {
  for (int speed = 1; speed <= 3; ++speed) {
    const int top = 138 + 22 * (speed - 1);
    if (Within(x, y, 15, top, 115, top + 20)) return speed;
  }
  return 0;
}

std::uint8_t Toggled(std::uint8_t v) {
  return v == 0 ? 1 : 0;
}

void SetVolumeFrom(ce::HWND window, int x) {
  gameStatus.volume = std::clamp(x - 62, 0, 100);
  InvalidateLogical(window, 56, 230, 169, 253);
  InvalidateLogical(window, 35, 230, 47, 253);
}

void SettingsPointerDown(ce::HWND window, int x, int y) {
  GameStatus& g = gameStatus;
  if (Within(x, y, 218, 5, 235, 22)) {
    ApplyVolume();
    LeaveSettings(window);
  } else if (Within(x, y, 15, 54, 34, 70)) {
    g.joystickControl = Toggled(g.joystickControl);
    InvalidateLogical(window, 15, 54, 34, 70);
  } else if (Within(x, y, 15, 96, 34, 112)) {
    g.helpEnabled = Toggled(g.helpEnabled);
    InvalidateLogical(window, 15, 96, 34, 112);
  } else if (int speed = SpeedButtonAt(x, y); speed != 0) {
    g.gameSpeed = speed;
    InvalidateLogical(window, 15, 138, 115, 158);
    InvalidateLogical(window, 15, 160, 115, 180);
    InvalidateLogical(window, 15, 182, 115, 202);
  } else if (Within(x, y, 176, 232, 195, 248)) {
    g.soundOn = Toggled(g.soundOn);
    InvalidateLogical(window, 176, 232, 195, 248);
  } else if (Within(x, y, 56, 230, 169, 253)) {
    SetVolumeFrom(window, x);
  } else if (Within(x, y, 84, 266, 182, 304)) {
    ApplyVolume();
    shell.settingsOkPressed = 1;
    InvalidateLogical(window, 84, 282, 164, 304);
  }
}

void SettingsPointerUp(ce::HWND window, int x, int y) {
  if (shell.settingsOkPressed != 1) return;
  if (Within(x, y, 84, 282, 164, 303)) {
    LeaveSettings(window);
  } else {
    shell.settingsOkPressed = 0;
    InvalidateLogical(window, 84, 282, 164, 304);
  }
}

}  // namespace

void MenuPointerDown(ce::HWND window, int x, int y) {
  switch (shell.ScreenState) {
    case MainMenu:
      MainMenuPointerDown(window, x, y);
      break;
    case HiScores:
      HiScoresPointerDown(window, x, y);
      break;
    case NewHiScore:
      if (Within(x, y, 218, 5, 236, 22)) CancelNameEntry(window);
      break;
    case Settings:
      SettingsPointerDown(window, x, y);
      break;
    default:
      break;
  }
}

void MenuPointerMove(ce::HWND window, int x, int y) {
  if (shell.ScreenState == Settings && Within(x, y, 56, 230, 169, 252)) SetVolumeFrom(window, x);
}

void MenuPointerUp(ce::HWND window, int x, int y) {
  if (shell.ScreenState == Settings) SettingsPointerUp(window, x, y);
}

void MenuKeyUp(ce::UINT virtualKey, ce::HWND window) {
  switch (shell.ScreenState) {
    case MainMenu:
      MainMenuKeyUp(virtualKey, window);
      break;
    case HiScores:
      HiScoresKeyUp(virtualKey, window);
      break;
    case Settings:
      if (virtualKey == ce::VK_RETURN) LeaveSettings(window);
      break;
    default:
      break;
  }
}
