#include "app/startup.h"

#include "app/main_window.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "sound/sound_bank.h"
#include "store/registry_store.h"

namespace {

// The class's icon, released when the program ends.
ce::HICON mainWindowIcon = nullptr;

constexpr ce::DWORD kFullScreenFlags = ce::SHFS_HIDETASKBAR | ce::SHFS_HIDESIPBUTTON | ce::SHFS_HIDESTARTICON;

// The refusal for a screen the game cannot use, or null for one it can.
const char16_t* RefusalText(std::int32_t mode) {
  switch (mode) {
    case 2:
      return u"Horizontal mode (320x240) is not supported.\n"
             u"Please switch back to the vertical mode an try again! (240x320)";
    case 4:
      return u"Horizontal mode (640x480) is not supported.\n"
             u"Please switch back to the vertical mode an try again! (480x640)";
    case 1:
    case 3:
      return nullptr;
    default:
      return u"This screen is not supported.\n240x320 and 480x640 screens are only supported!";
  }
}

// Hides the shell's bars for the window and stretches it by the allowance
// upwards; right and bottom are passed as the size, as the handheld expects.
void MakeFullScreen(ce::HWND window, std::int32_t allowance) {
  ce::RECT r{};
  ce::GetWindowRect(window, &r);
  ce::SHFullScreen(window, kFullScreenFlags);
  ce::MoveWindow(window, r.left, r.top - allowance, r.right, r.bottom + allowance, ce::TRUE);
}

}  // namespace

std::int32_t TaskBarAllowance(std::int32_t displayMode) {
  if (displayMode == 1) return 26;
  if (displayMode == 3) return 52;
  return 0;
}

void RegisterMainWindowClass(ce::HINSTANCE instance, const char16_t* className) {
  ce::WNDCLASSW wc{};
  wc.style = ce::CS_HREDRAW | ce::CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = ce::LoadIconW(instance, ce::MAKEINTRESOURCEW(kMainWindowIcon));
  wc.hbrBackground = static_cast<ce::HBRUSH>(ce::GetStockObject(ce::WHITE_BRUSH));
  wc.lpszClassName = className;
  if (ce::RegisterClassW(&wc) == 0) {
    ce::DestroyIcon(wc.hIcon);  // the class exists already, with its own
    return;
  }
  ReleaseMainWindowIcon();
  mainWindowIcon = wc.hIcon;
}

void ReleaseMainWindowIcon() {
  if (mainWindowIcon != nullptr) ce::DestroyIcon(mainWindowIcon);
  mainWindowIcon = nullptr;
}

bool InitializeApplication(ce::HINSTANCE instance, int showCommand) {
  shell.instance = instance;
  ReadScreenDpi();
  // Before the screen test: a refused start has loaded them too.
  LoadSoundBank();

  display.DisplayMode =
      ClassifyDisplayMode(ce::GetSystemMetrics(ce::SM_CXSCREEN), ce::GetSystemMetrics(ce::SM_CYSCREEN));
  if (const char16_t* refusal = RefusalText(display.DisplayMode)) {
    ce::MessageBoxW(nullptr, refusal, u"Warning!", ce::MB_OK | ce::MB_ICONEXCLAMATION);
    return false;
  }

  if (ce::HWND running = ce::FindWindowW(kMainWindowClass, kMainWindowClass)) {
    // The handheld takes the handle with its lowest bit set here.
    ce::SetForegroundWindow(reinterpret_cast<ce::HWND>(reinterpret_cast<std::uintptr_t>(running) | 1));
    ce::RECT r{};
    ce::GetWindowRect(running, &r);
    ce::SHFullScreen(running, kFullScreenFlags);
    ce::MoveWindow(running, r.left, r.top, r.right, r.bottom, ce::TRUE);
    return false;
  }

  RegisterMainWindowClass(instance, kMainWindowClass);
  ce::HWND window = ce::CreateWindowExW(0, kMainWindowClass, kMainWindowClass, ce::WS_VISIBLE,
                                        ce::CW_USEDEFAULT, ce::CW_USEDEFAULT, ce::CW_USEDEFAULT,
                                        ce::CW_USEDEFAULT, nullptr, 0, instance, nullptr);
  if (window == nullptr) return false;
  MakeFullScreen(window, TaskBarAllowance(display.DisplayMode));
  shell.mainWindow = window;

  LoadStore();

  ce::Sleep(50);
  ce::ShowWindow(window, showCommand);
  ce::UpdateWindow(window);
  return true;
}

void DrawLandscapeNotice(ce::HDC target) {
  const char16_t* text = nullptr;
  if (display.DisplayMode == 2)
    text = u"Horizontal mode (320x240) is not supported.\nPlease switch back to the vertical mode. (240x320)";
  else if (display.DisplayMode == 4)
    text = u"Horizontal mode (640x480) is not supported.\nPlease switch back to the vertical mode. (480x640)";
  else
    return;
  FillBox(target, 0, 0, 0, 0, 0, 320, 240);
  DrawTextBox(target, text, 255, 255, 255, 0, 0, 0, 0, 100, 320, 140, 0, 1);
}
