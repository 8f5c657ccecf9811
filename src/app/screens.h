// Where the application shell meets the screens: the painters that the main
// and popup windows' paint dispatch calls, and the per-screen branches of the
// pointer and key handlers.
#pragma once

#include <cstdint>

#include "platform/device.h"

// Painters of the main window, by ScreenState (target: the paint context).
void PaintMainMenu(ce::HWND window, ce::HDC target);    // screens/main_menu.cpp
void PaintPlayScreen(ce::HWND window, ce::HDC target);  // render/play_screen.cpp
void PaintHiScores(ce::HWND window, ce::HDC target);    // screens/hiscore_screen.cpp
void PaintNewHiScore(ce::HWND window, ce::HDC target);  // screens/hiscore_screen.cpp
void PaintSettings(ce::HWND window, ce::HDC target);    // screens/settings_screen.cpp

// Painters of the popup window, by PopupState.
void PaintAbout(ce::HWND popup, ce::HDC target);       // screens/about.cpp
void PaintExportCode(ce::HWND popup, ce::HDC target);  // screens/export_popup.cpp
void PaintHelp(ce::HWND popup, ce::HDC target);        // screens/help.cpp

// The landscape notice that painters draw while DisplayMode is 2 or 4.
void DrawLandscapeNotice(ce::HDC target);  // app/startup.cpp
// The two-line summary of the current mode's hi-score table on the play screen.
void DrawHiScoreSummary(ce::HDC target);  // render/hiscore_summary.cpp

// Branches of the main window's handlers. Coordinates are logical (already
// halved on the large screens); the key branches run only with joystick
// control on.
void PlayPointerDown(ce::HWND window, int x, int y);  // app/play_input.cpp
void PlayPointerMove(ce::HWND window, int x, int y);
void PlayPointerUp(ce::HWND window, int x, int y);
void PlayKeyUp(ce::UINT virtualKey, ce::HWND window);
void MenuPointerDown(ce::HWND window, int x, int y);  // app/menu_input.cpp: MainMenu, HiScores,
void MenuPointerMove(ce::HWND window, int x, int y);  // NewHiScore and Settings
void MenuPointerUp(ce::HWND window, int x, int y);
void MenuKeyUp(ce::UINT virtualKey, ce::HWND window);

// The name entry's command handler for WM_COMMAND of the main window: handles
// OkButtonId and CancelButtonId and returns non-zero; anything else goes to
// the default window procedure and its result is returned.
ce::LRESULT NewHiScoreCommand(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);

// The popup's closes (app/popup.cpp).
void ClosePopupByOk(ce::HWND popup);
void ClosePopupByCloseBox(ce::HWND popup);

// The hard-key cursor, shared by the play screen (the selected reel plus one)
// and the main menu (the selected item); 0 for none. cursorMark is the copy the
// painters draw from; the key rules set both together. Defined in app/menu_input.cpp.
extern std::int32_t keyCursor;
extern std::int32_t cursorMark;

// The play screen's two reel surfaces, released when the main window is
// destroyed (render/play_screen.cpp).
void ReleasePlaySurfaces();
