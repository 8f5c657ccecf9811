#include "app/popup.h"

#include "app/main_window.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/state.h"
#include "render/scale.h"
#include "store/game_status.h"

namespace {

// Handed to the shell's activation calls; the shell keeps its own notes in it.
ce::SHACTIVATEINFO activationInfo{};

bool Within(int v, int low, int high) {
  return v >= low && v <= high;
}

// PopupState back to none and the window gone.
void DestroyPopup(ce::HWND popup) {
  shell.PopupState = NoPopup;
  shell.popupControls = 0;
  ce::DestroyWindow(popup);
  if (shell.popupWindow == popup) shell.popupWindow = nullptr;
}

void BackToMenu() {
  ce::SetFocus(shell.mainWindow);
  shell.BackgroundReady = 0;
  shell.ScreenState = MainMenu;
  InvalidateScreen(shell.mainWindow, display.DisplayMode);
}

// Help's last demonstration step: 4 for Easy, 2 for the other modes.
bool DemonstrationFinished() {
  return shell.helpPage == (shell.pendingMode == Easy ? 4 : 2);
}

}  // namespace

void RegisterPopupClass(ce::HINSTANCE instance, const char16_t* className) {
  ce::WNDCLASSW wc{};
  wc.style = ce::CS_HREDRAW | ce::CS_VREDRAW;
  wc.lpfnWndProc = PopupWindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<ce::HBRUSH>(ce::GetStockObject(ce::WHITE_BRUSH));
  wc.lpszClassName = className;
  ce::RegisterClassW(&wc);
}

bool CreatePopup(ce::HINSTANCE instance, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height) {
  shell.popupHeight = ScaleY(height);
  ReadScreenDpi();
  RegisterPopupClass(instance, u"PopUp");
  ce::HWND popup = ce::CreateWindowExW(0, u"PopUp", u"PopUp", ce::WS_POPUP, ScaleX(x), ScaleY(y),
                                       ScaleX(width), ScaleY(height), nullptr, 0, instance, nullptr);
  shell.popupWindow = popup;
  if (popup == nullptr) {
    shell.PopupState = NoPopup;
    shell.popupControls = 0;
    return false;
  }
  ce::ShowWindow(popup, ce::SW_SHOW);
  ce::UpdateWindow(popup);
  return true;
}

void PaintPopup(ce::HWND popup) {
  ce::PAINTSTRUCT ps;
  ce::HDC target = ce::BeginPaint(popup, &ps);
  UpdateDisplayMode();
  const std::int32_t page = shell.PopupState;
  switch (page) {
    case About:
      PaintAbout(popup, target);
      break;
    case ExportCode:
      PaintExportCode(popup, target);
      break;
    case Help:
      PaintHelp(popup, target);
      break;
    default:
      break;
  }
  // A page that closed itself for the landscape notice: the screen under it may
  // have given up its retained background for the popup, so it builds afresh.
  if (page != NoPopup && shell.PopupState == NoPopup) shell.BackgroundReady = 0;
  ce::EndPaint(popup, &ps);
}

void ClosePopupByOk(ce::HWND popup) {
  switch (shell.PopupState) {
    case About:
      DestroyPopup(popup);
      BackToMenu();
      break;
    case ExportCode:
      DestroyPopup(popup);
      InvalidateScreen(shell.mainWindow, display.DisplayMode);
      break;
    case Help: {
      ce::KillTimer(popup, kGameTimer);
      DestroyPopup(popup);
      BackToMenu();
      shell.helpShownThisSession = 1;
      StartGame(shell.mainWindow, shell.pendingMode);
      break;
    }
    default:
      break;
  }
}

void ClosePopupByCloseBox(ce::HWND popup) {
  switch (shell.PopupState) {
    case About:
      DestroyPopup(popup);
      BackToMenu();
      break;
    case ExportCode:
      DestroyPopup(popup);
      InvalidateScreen(shell.mainWindow, display.DisplayMode);
      break;
    case Help:
      ce::KillTimer(popup, kGameTimer);
      DestroyPopup(popup);
      BackToMenu();
      break;
    default:
      break;
  }
}

void PopupPointerDown(ce::HWND popup, int x, int y) {
  if (display.DisplayMode == 3 || display.DisplayMode == 4) {
    x /= 2;
    y /= 2;
  }
  if (Within(x, 218, 236) && Within(y, 5, 22)) {
    ClosePopupByCloseBox(popup);
    return;
  }
  if (shell.PopupState != Help || x < 10) return;
  if (Within(x, 10, 29) && Within(y, 212, 228)) {
    // "Show this window again"
    gameStatus.helpEnabled = gameStatus.helpEnabled == 1 ? 0 : 1;
    InvalidateLogical(popup, 10, 212, 29, 228);
  } else if (Within(x, 10, 230) && Within(y, 28, 206)) {
    if (DemonstrationFinished()) shell.helpPage = 0;  // plays again
    InvalidateLogical(popup, 10, 28, 230, 206);
  }
}

void PopupKeyUp(ce::UINT virtualKey, ce::HWND popup) {
  if (shell.PopupState == About && gameStatus.joystickControl == 1 && virtualKey == ce::VK_RETURN) {
    DestroyPopup(popup);
    InvalidateScreen(shell.mainWindow, display.DisplayMode);
  }
}

ce::LRESULT PopupWindowProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  switch (message) {
    case ce::WM_CREATE:
    case ce::WM_DESTROY:
    case ce::WM_MOUSEMOVE:
    case ce::WM_LBUTTONUP:
      return 0;
    case ce::WM_ACTIVATE:
      ce::SHHandleWMActivate(window, wParam, lParam, &activationInfo, 0);
      return 0;
    case ce::WM_PAINT:
      PaintPopup(window);
      return 0;
    case ce::WM_SETTINGCHANGE:
      ce::SHHandleWMSettingChange(window, wParam, lParam, &activationInfo);
      return 0;
    case ce::WM_KEYUP:
      PopupKeyUp(static_cast<ce::UINT>(wParam), window);
      return 0;
    case ce::WM_COMMAND:
      if (ce::LOWORD(wParam) == OkButtonId) ClosePopupByOk(window);
      return 0;
    case ce::WM_TIMER:
      // Only Help runs a timer here: the demonstration's next step.
      if (shell.PopupState == Help) InvalidateLogical(window, 10, 28, 230, 206);
      return 0;
    case ce::WM_LBUTTONDOWN:
      PopupPointerDown(window, ce::LOWORD(static_cast<std::uintptr_t>(lParam)),
                       ce::HIWORD(static_cast<std::uintptr_t>(lParam)));
      return 0;
    default:
      return ce::DefWindowProcW(window, message, wParam, lParam);
  }
}
