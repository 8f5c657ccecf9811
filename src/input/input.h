// What the player's hands reach the device through, whatever the host: the
// `keys` file, game pads, and the host's events turned into device input
// (translate.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/port.h"

union SDL_Event;

namespace ce {

// ---- the keys file (keymap.cpp) ------------------------------------------------

// Which hard key each keyboard key and pad button gives. A key that is not
// listed gives what the desktop gives it anyway (letters, Backspace, ...).
struct KeyMap {
  struct Binding {
    std::int32_t keycode;  // SDL key code
    UINT vk;               // 0: the key gives nothing
  };
  std::vector<Binding> keys;
  UINT pad[32] = {};  // by SDL game-controller button (fewer than 32); 0: nothing
};
KeyMap DefaultKeyMap();
// The defaults with the file's lines applied in order. Each line it cannot use
// is left out and described in `problems` as "LINE: reason".
KeyMap ParseKeyMap(const std::string& text, std::vector<std::string>* problems);
// <data>/keys, its problems reported on stderr; the defaults when it is missing.
void LoadKeyMap();
const KeyMap& CurrentKeyMap();
// True when the map decides what the key gives (`vk`, possibly 0).
bool MappedKey(const KeyMap& map, std::int32_t keycode, UINT* vk);
bool MappedKey(std::int32_t keycode, UINT* vk);
// The virtual key a keyboard key gives: the keys file first, then the fixed ones
// (letters, digits and the editing keys); 0 for none.
UINT VirtualKeyFor(std::int32_t keycode);
// Typed UTF-8 text as WM_CHARs of UTF-16 units; control characters come as keys.
void QueueTypedText(const char* utf8);

// ---- game pads (gamepad.cpp) -----------------------------------------------------

// The game-controller subsystem on; pads already plugged in arrive as events.
void PadsOpen();
void PadsClose();
// A pad's event (plugged, unplugged, button, axis) turned into hard keys;
// false for an event that is not a pad's.
bool PadEvent(const SDL_Event& e);
int PadsOpenCount();
// The files the open pads are read from (appended): a wait that watches them
// wakes at a pad's press. Virtual pads have none: they change only when this
// process changes them.
void PadWaitFds(std::vector<int>* fds);
// Whether an open pad has no such file, so its state must be polled.
bool PadsPolled();

// The desktop window's input, brought up with it: the keys file and the pads.
void DesktopInputOpen();
void DesktopInputClose();

}  // namespace ce
