// The main window: its procedure, the paint dispatch by ScreenState and the
// pointer and key handlers that branch into the screens' input rules.
#pragma once

#include "platform/device.h"

ce::LRESULT MainWindowProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
void PaintMainWindow(ce::HWND window);
// Device coordinates in; halved on the large screens before the branch.
void MainPointerDown(ce::HWND window, int x, int y);
void MainPointerMove(ce::HWND window, int x, int y);
void MainPointerUp(ce::HWND window, int x, int y);
// Does nothing unless the hard keys are switched on.
void MainKeyUp(ce::UINT virtualKey, ce::HWND window);
// DisplayMode from the current screen size; an unknown size leaves it as it was.
void UpdateDisplayMode();
