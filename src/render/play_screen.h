// The play screen: composed once per game by SetUpPlayScreen, then served
// incrementally by PaintPlayScreen (app/screens.h) from the engine's requests.
#pragma once

#include <cstdint>

#include "platform/device.h"

// Set by the play input when a confirmation box over the screen was answered
// No: the next paint clears and redraws the top area under the box.
extern std::int32_t topAreaDirty;

// The abandon icon's top-left corner (logical); the exit icon lies 18 to its left.
struct IconAnchor {
  std::int32_t x = 207;
  std::int32_t y = 13;
};
extern IconAnchor iconAnchor;

// The play screen's own surfaces: the eight item pictures side by side
// (336 x 45 logical) and the five reels with a hidden row above (210 x 180).
struct Surface {
  ce::HDC dc = nullptr;
  ce::HBITMAP picture = nullptr;
  ce::HGDIOBJ previous = nullptr;
};
extern Surface itemStrip;
extern Surface boardCanvas;

// Where item code c (0..7) sits in itemStrip, logical x; -1 for any other code.
int StripX(std::int32_t itemCode);

void SetUpPlayScreen(ce::HDC target);
// Releases itemStrip and boardCanvas (when the main window is destroyed).
void ReleasePlaySurfaces();
