// The play screen's controls and meters: groups of buttons drawn in a look
// (which also tells the engine whether they can be used), and the painter's
// steps that serve the engine's button and meter requests.
#pragma once

#include <cstdint>

#include "platform/device.h"

// The small picture in modes 1 and 2, its double-size twin in modes 3 and 4.
int PlayPicture(int small, int large);

// Copies with position and size in logical pixels, scaled to the device.
void CopyScaled(ce::HDC target, int x, int y, int width, int height, ce::HDC source, int sourceX,
                int sourceY);
void CopyScaledKeyed(ce::HDC target, int x, int y, int width, int height, ce::HDC source, int sourceX,
                     int sourceY);

// Groups: 1 the ten arrows, 2 Spin All, 3 MAKE SCORE, 4 the bet keys,
// 5 BET+ pressed, 6 BET- pressed. Sets the group's ready flag.
void EnableControls(ce::HDC target, int group);
// Groups: 1 the ten arrows, 2 Spin All, 3 MAKE SCORE, 5 MAKE SCORE pressed.
// Clears the group's ready flag.
void DisableControls(ce::HDC target, int group);

// The painter's steps for buttonToRedraw, spinButtonLook, panelRequest (with
// cursorMark) and metersDirty.
void ArrowButtonStep(ce::HDC target);
void SpinButtonStep(ce::HDC target);
void PanelStep(ce::HDC target);
void MetersStep(ce::HWND window, ce::HDC target);
// The meters' numbers use a font of their own; released with the play surfaces.
void ReleaseMeterFont();
