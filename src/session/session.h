// What a player's session adds to the desktop window: game pads, the `keys`
// file, and the recorder that writes the session as a script. Also the few
// calls by which window.cpp lets the recorder and the script runner see and
// steer the message stream. Only src/platform/ includes this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/world.h"

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

// The desktop window's input, brought up with it: the keys file and the pads.
void DesktopInputOpen();
void DesktopInputClose();

// ---- the recorder (recorder.cpp) -------------------------------------------------

// The longest one script `wait` may be, in milliseconds (a day); a recording
// splits longer ones.
constexpr std::int64_t kLongestWait = 86400000;
// The device's shortest timer period, in milliseconds: one timer gives at most
// MS / kShortestTimerPeriod + 1 messages in MS milliseconds, which bounds what a
// counted wait may owe.
constexpr std::int64_t kShortestTimerPeriod = 4;
constexpr std::int64_t MostTimerMessages(std::int64_t ms) {
  return ms / kShortestTimerPeriod + 1;
}

// Starts writing the session to `path` (truncated); false with the reason.
bool StartRecording(const std::string& path, std::string* error);
// Writes what is left (timer messages since the last line) and closes the file.
void StopRecording();
bool Recording();
// While recording, desktop input waits here until the device is between
// messages (nothing posted, queued or to paint), so that a replay, which acts
// only then, puts it at the same place in the message stream.
bool HoldInput(const InputEvent& e);
// Lets the oldest held input in when the device is between messages; true
// when it did.
bool ReleaseHeldInput();
bool HoldsInput();
// The desktop's own turn of the device (Ctrl+R), held the same way.
void TurnFromDesktop();
void RecorderNoteTimer(Window* w, UINT_PTR id);
void RecorderNoteClock(std::int64_t value);

// ---- the script runner's side (script.cpp) ---------------------------------------

// The script's name of a virtual key ("up", "enter", "a", ...); empty if none.
std::string ScriptKeyName(UINT vk);
// Called by the message loop with the timer due first, before it delivers it:
// true when timers must wait (a counted wait has delivered its messages, or
// no wait runs); a counted wait that names a timer puts that one in its place.
bool TimersHeld(Window** w, Timer** t);
// A timer message has been made (counts for the recorder and a counted wait).
void NoteTimerMessage(Window* w, UINT_PTR id);
// What the program's reading of the clock gives: `now`, or a script's `clock`.
std::int64_t ClockReading(std::int64_t now);

}  // namespace ce
