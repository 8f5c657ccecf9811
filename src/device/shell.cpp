// The handheld's shell as the game asks it: full screen, activation, the
// foreground window.
#include "device/world.h"

namespace ce {

// ---- the shell -------------------------------------------------------------------------

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  auto& s = W().shell;
  s.fullScreenCalls++;
  s.lastFullScreenWindow = hwnd;
  if (state & SHFS_HIDETASKBAR) s.taskBarHidden = true;
  if (state & SHFS_SHOWTASKBAR) s.taskBarHidden = false;
  if (state & SHFS_HIDESIPBUTTON) s.sipButtonHidden = true;
  if (state & SHFS_SHOWSIPBUTTON) s.sipButtonHidden = false;
  if (state & SHFS_HIDESTARTICON) s.startIconHidden = true;
  if (state & SHFS_SHOWSTARTICON) s.startIconHidden = false;
  return TRUE;
}

BOOL SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD) {
  W().shell.activateCalls++;
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO*) {
  W().shell.settingChangeCalls++;
  return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd) {
  // The handheld takes the handle with its lowest bit set as well.
  auto* w = reinterpret_cast<Window*>(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t(1));
  if (w && w == RemoteWindowStandIn()) return ActivateRunningCopy() ? TRUE : FALSE;
  if (!IsLive(w)) return FALSE;
  W().shell.foregroundWindow = w;
  DesktopRaise();
  return TRUE;
}

}  // namespace ce
