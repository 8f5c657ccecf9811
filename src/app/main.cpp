// The program entry: start-up, then the message loop until the quit message.
#include "app/startup.h"
#include "platform/host.h"

int WinMain(ce::HINSTANCE instance, ce::HINSTANCE, ce::LPWSTR, int show) {
  if (!InitializeApplication(instance, show)) return 0;
  // Ctrl+A and Ctrl+Q: translated to commands nobody handles, so the keys are swallowed.
  ce::HACCEL accelerators = ce::LoadAcceleratorsW(instance, ce::MAKEINTRESOURCEW(3));
  ce::MSG msg{};
  while (ce::GetMessageW(&msg, nullptr, 0, 0)) {
    if (ce::TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
    ce::TranslateMessage(&msg);
    ce::DispatchMessageW(&msg);
  }
  ReleaseMainWindowIcon();
  return static_cast<int>(msg.wParam);
}

// Who the program is, for the device and its window (a second copy finds the
// first by its main window's class).
ce::host::ProgramIdentity ce::host::Program() {
  return {kMainWindowClass, kMainWindowIcon};
}
