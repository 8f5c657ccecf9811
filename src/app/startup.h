// The program's way in: screen checks, one running copy, the full-screen main
// window and the stored records.
#pragma once

#include <cstdint>

#include "platform/device.h"

// The program's name: its main window's class and title.
inline constexpr const char16_t* kMainWindowClass = u"Melvoria";
// The main window class's icon, and the desktop window's.
inline constexpr int kMainWindowIcon = 425;

// True when the main window is up and the message loop shall run; false when
// the program ends at once (refused screen, another copy running, no window).
bool InitializeApplication(ce::HINSTANCE instance, int showCommand);
void RegisterMainWindowClass(ce::HINSTANCE instance, const char16_t* className);
// After the message loop: the class's icon goes.
void ReleaseMainWindowIcon();
// The task bar's height that the full-screen window reaches over, device pixels;
// 0 for the modes that do not run.
std::int32_t TaskBarAllowance(std::int32_t displayMode);
