// Where the main menu's parts stand (logical); the painter draws them there and
// the menu's input measures its live areas from them.
#pragma once

struct MenuLayout {
  int menuX = 63, menuY = 154;     // the five labels, 114 x 138, each row 27 or 28 high
  int logoX = 10, logoY = 16;      // the game logo, 220 x 120
  int makerX = 166, makerY = 300;  // the maker's small logo, 70 x 16
  int closeX = 222, closeY = 1;    // the close box, 17 x 17
};
extern MenuLayout menuLayout;

// Marker offsets of items 1..5 below the top of the labels.
constexpr int kMenuMarkerOffset[6] = {0, 8, 34, 63, 90, 117};
