// The hi-score screen and the name entry: what the menu input needs from them.
#pragma once

#include <cstdint>

#include "platform/device.h"

constexpr int NameBoxId = 1310;
// The name buffer: room for 15 characters and the terminator. The stored name
// field is shorter (12 units); InsertHiScore cuts what does not fit.
constexpr int kNameBufferUnits = 16;
extern char16_t nameBuffer[kNameBufferUnits];

// The name entry left without inserting (its Cancel button and its close box).
void CancelNameEntry(ce::HWND window);
// The name entry closed with the program: the score goes in under the name in
// the box, or the one offered when the box is empty or not made yet.
void EnterNameOnClosing(ce::HWND window);
