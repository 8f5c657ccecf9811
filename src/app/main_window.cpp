#include "app/main_window.h"

#include "app/leaving.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/state.h"
#include "game/tick.h"
#include "render/draw.h"
#include "render/play_screen.h"
#include "render/scale.h"
#include "store/game_status.h"

namespace {

bool LargeScreen() {
  return display.DisplayMode == 3 || display.DisplayMode == 4;
}

bool MenuScreen(std::int32_t state) {
  return state == MainMenu || state == HiScores || state == NewHiScore || state == Settings;
}

}  // namespace

void UpdateDisplayMode() {
  std::int32_t mode =
      ClassifyDisplayMode(ce::GetSystemMetrics(ce::SM_CXSCREEN), ce::GetSystemMetrics(ce::SM_CYSCREEN));
  if (mode != 5) display.DisplayMode = mode;
}

void PaintMainWindow(ce::HWND window) {
  ce::PAINTSTRUCT ps;
  ce::HDC target = ce::BeginPaint(window, &ps);
  UpdateDisplayMode();
  switch (shell.ScreenState) {
    case MainMenu:
      PaintMainMenu(window, target);
      break;
    case Play:
      PaintPlayScreen(window, target);
      break;
    case HiScores:
      PaintHiScores(window, target);
      break;
    case NewHiScore:
      PaintNewHiScore(window, target);
      break;
    case Settings:
      PaintSettings(window, target);
      break;
    default:
      break;
  }
  ce::EndPaint(window, &ps);
}

void MainPointerDown(ce::HWND window, int x, int y) {
  if (LargeScreen()) {
    x /= 2;
    y /= 2;
  }
  // A tap beside an open popup brings it back to the front.
  if (shell.PopupState > 0) ce::ShowWindow(shell.popupWindow, ce::SW_SHOWNORMAL);
  if (shell.ScreenState == Play)
    PlayPointerDown(window, x, y);
  else if (MenuScreen(shell.ScreenState))
    MenuPointerDown(window, x, y);
}

void MainPointerMove(ce::HWND window, int x, int y) {
  if (LargeScreen()) {
    x /= 2;
    y /= 2;
  }
  if (shell.ScreenState == Play)
    PlayPointerMove(window, x, y);
  else if (MenuScreen(shell.ScreenState))
    MenuPointerMove(window, x, y);
}

void MainPointerUp(ce::HWND window, int x, int y) {
  if (LargeScreen()) {
    x /= 2;
    y /= 2;
  }
  if (shell.ScreenState == Play)
    PlayPointerUp(window, x, y);
  else if (MenuScreen(shell.ScreenState))
    MenuPointerUp(window, x, y);
}

void MainKeyUp(ce::UINT virtualKey, ce::HWND window) {
  if (gameStatus.joystickControl != 1) return;
  if (shell.ScreenState == Play)
    PlayKeyUp(virtualKey, window);
  else if (MenuScreen(shell.ScreenState))
    MenuKeyUp(virtualKey, window);
}

ce::LRESULT MainWindowProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  const int x = ce::LOWORD(static_cast<std::uintptr_t>(lParam));
  const int y = ce::HIWORD(static_cast<std::uintptr_t>(lParam));
  switch (message) {
    case ce::WM_ACTIVATE:
      // The page hidden (the desktop never sends it): everything stored, nothing on screen changed.
      if (ce::LOWORD(wParam) == ce::WA_INACTIVE) StoreForLater();
      return 0;
    case ce::WM_CLOSE:
      // The system closes the program: what the player did is kept, then the window goes.
      StoreBeforeClosing(window);
      return ce::DefWindowProcW(window, message, wParam, lParam);
    case ce::WM_CREATE:
    case ce::WM_SETFOCUS:
    case ce::WM_KILLFOCUS:
    case ce::WM_SETTINGCHANGE:
      return 0;
    case ce::WM_DESTROY:
      ReleasePlaySurfaces();
      FreeBitmapSlots();
      ce::PostQuitMessage(0);
      return 0;
    case ce::WM_PAINT:
      PaintMainWindow(window);
      return 0;
    case ce::WM_KEYUP:
      MainKeyUp(static_cast<ce::UINT>(wParam), window);
      return 0;
    case ce::WM_COMMAND:
      if (NewHiScoreCommand(window, message, wParam, lParam) != 0)
        return ce::DefWindowProcW(window, message, wParam, lParam);
      return 0;
    case ce::WM_TIMER: {
      const std::int32_t phase = engine.gamePhase;
      GameTick(window);
      // A game stored for later and then finished must not come back.
      if (phase == Running && engine.gamePhase != Running) StoreForLater();
      return 0;
    }
    case ce::WM_MOUSEMOVE:
      MainPointerMove(window, x, y);
      return 0;
    case ce::WM_LBUTTONDOWN:
      MainPointerDown(window, x, y);
      return 0;
    case ce::WM_LBUTTONUP:
      MainPointerUp(window, x, y);
      return 0;
    default:
      return ce::DefWindowProcW(window, message, wParam, lParam);
  }
}
