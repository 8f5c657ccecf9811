// The drawing primitives every screen uses: logical coordinates doubled on the
// large screens, the five retained bitmap slots, the one current UI font, and
// the popup window's frame.
#pragma once

#include <cstdint>

#include "platform/device.h"

// Releases the previous UI font, makes a new one (height doubled less one in
// modes 3 and 4) and returns it; the caller selects it into its target.
ce::HFONT SelectUiFont(const char16_t* face, std::int32_t height, std::int32_t weight);
ce::HFONT CurrentUiFont();
void FillBox(ce::HDC target, int red, int green, int blue, int left, int top, int right, int bottom);
void DrawRoundButton(ce::HDC target, const char16_t* caption, int x, int y, int width, int height, int cornerWidth,
                     int cornerHeight, int fillRed, int fillGreen, int fillBlue, int textRed, int textGreen,
                     int textBlue);
// Slots 1..5; any other number does nothing.
void LoadBitmapSlot(ce::HDC reference, int pictureId, int slot);
void CreateBitmapSlot(ce::HDC reference, int width, int height, int slot);
void FreeBitmapSlots();
// Empties one slot (1..5); any other number does nothing.
void EmptyBitmapSlot(int slot);
// The drawing context of a filled slot, null when the slot is empty or out of range.
ce::HDC BitmapSlotDC(int slot);
void BlitResource(ce::HDC target, int pictureId, int width, int height, int x, int y);
void BlitResourceKeyed(ce::HDC target, int pictureId, int width, int height, int x, int y, int keyRed, int keyGreen,
                       int keyBlue);
// align: 0 left, 1 centred, 2 right; always with word-break.
void DrawTextBox(ce::HDC target, const char16_t* text, int textRed, int textGreen, int textBlue, int backRed,
                 int backGreen, int backBlue, int left, int top, int right, int bottom, int transparent, int align);
void DrawNumberBox(ce::HDC target, std::int32_t number, int textRed, int textGreen, int textBlue, int backRed,
                   int backGreen, int backBlue, int left, int top, int right, int bottom, int transparent, int align);
void DrawLine(ce::HDC target, int red, int green, int blue, int x1, int y1, int x2, int y2);
// Uses the popup height in device pixels that the popup window fixed (shell.popupHeight).
void DrawPopupFrame(ce::HDC target, const char16_t* title, int red, int green, int blue);
