// Program-wide values of the application shell: which screen the main window
// shows, which page the popup shows, and the handles the rest of the program uses.
#pragma once

#include <cstdint>

#include "platform/device.h"

enum ScreenStateValue : std::int32_t { MainMenu = 0, Play = 1, HiScores = 2, NewHiScore = 3, Settings = 10 };
enum PopupStateValue : std::int32_t { NoPopup = 0, About = 1, ExportCode = 2, Help = 12 };

constexpr int OkButtonId = 58632;
constexpr int CancelButtonId = 58633;

struct Shell {
  ce::HINSTANCE instance = nullptr;
  ce::HWND mainWindow = nullptr;
  std::int32_t ScreenState = MainMenu;
  std::int32_t BackgroundReady = 0;  // 0: the current screen builds itself at its next paint
  std::uint8_t settingsOkPressed = 0;
  // 1 once the player was told that the store can be read but not written.
  std::uint8_t storeReadOnlyTold = 0;

  std::int32_t PopupState = NoPopup;
  ce::HWND popupWindow = nullptr;
  std::int32_t popupHeight = 0;    // device pixels, for the popup frame
  std::int32_t popupControls = 0;  // 1 once the page has made its controls
  std::int32_t pendingMode = 0;    // the mode the Help popup starts on OK
  std::uint8_t helpShownThisSession = 0;
  std::int32_t helpPage = 0;

  // Play input's drag: armed from a pointer-down until a drag starts a move.
  std::int32_t dragArmed = 0;
  std::int32_t dragStartY = 0;
};
extern Shell shell;
