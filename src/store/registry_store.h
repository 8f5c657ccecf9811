// The registry store: the four binary values of one key of the current user,
// read once at start-up and written whenever something worth keeping changes.
#pragma once

#include <string>

#include "platform/device.h"

// The key under HKEY_CURRENT_USER.
inline constexpr const char16_t* kStoreKey = u"Software\\handsetdev\\Dunmorrow\\Melvoria";

// Reads the hi-score tables and GameStatus, fills in the first-run defaults,
// sets the output volume and chooses the first screen. Writes nothing. A key
// that can be read but not written is read, and the player told once that
// nothing will be saved.
void LoadStore();
// Writes the three tables and GameStatus, whole, byte for byte, without a word
// to anyone: ERROR_SUCCESS, or the first failure's code (the values after it
// are still tried; each keeps its old bytes when its own write fails).
ce::LONG WriteStore();
// The save points' write (the close box, "Exit the Game?" answered Yes): a
// failure is told in a message box and on stderr, or on stderr alone once the
// player knows that nothing can be saved. Returns whether all was written.
bool SaveStore();
// A registry error in plain words, to follow "could not be saved: ".
std::u16string StoreFailureReason(ce::LONG error);
// The line on stderr for a write that failed with this error.
void LogStoreFailure(ce::LONG error);
