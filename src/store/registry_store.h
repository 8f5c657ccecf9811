// The registry store: the four binary values of one key of the current user,
// read once at start-up and written at the game's two save points.
#pragma once

// The key under HKEY_CURRENT_USER.
inline constexpr const char16_t* kStoreKey = u"Software\\handsetdev\\Dunmorrow\\Melvoria";

// Reads the hi-score tables and GameStatus, fills in the first-run defaults,
// sets the output volume and chooses the first screen. Writes nothing.
void LoadStore();
// Writes the three tables and GameStatus, whole, byte for byte.
void SaveStore();
