// Storing for later: what the program keeps when it may be left at any moment
// (the system closes it, the page is hidden, a change worth keeping was made).
#pragma once

#include "platform/device.h"

// Writes the settings and hi-score tables, and a running game as "Exit the
// Game?" answered Yes stores it, without ending the program, stopping the
// timer or changing the screen. A game that has ended (its GAME OVER, the name
// entry, the table) is stored with gameMode 0, so it never comes back; memory
// keeps its own gameMode. A failure is a line on stderr. Returns whether all
// was written.
bool StoreForLater();

// The system closes the program (WM_CLOSE): a name being entered is entered as
// OK would enter it, then everything is stored for later.
void StoreBeforeClosing(ce::HWND window);
