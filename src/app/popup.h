// The popup window laid over the main window (About, export code, Help).
#pragma once

#include <cstdint>

#include "platform/device.h"

// Creates and shows the popup at a logical rectangle; true when the window exists.
// The caller sets PopupState and clears the controls flag first. When the window
// cannot be made, PopupState goes back to none, so the screens under it take taps again.
bool CreatePopup(ce::HINSTANCE instance, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height);
// Registers the "PopUp" class; a second registration fails and changes nothing.
void RegisterPopupClass(ce::HINSTANCE instance, const char16_t* className);
ce::LRESULT PopupWindowProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
// The paint dispatch by PopupState.
void PaintPopup(ce::HWND popup);
// Popup-relative device coordinates in; halved on the large screens.
void PopupPointerDown(ce::HWND popup, int x, int y);
void PopupKeyUp(ce::UINT virtualKey, ce::HWND popup);
