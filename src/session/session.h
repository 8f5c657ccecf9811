// A run of the program as a session: the script runner that plays a script on
// virtual time, and the recorder that writes a session played in the window as
// a script. What the device asks of them is declared in device/port.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/port.h"

namespace ce {

// ---- the program's run (run.cpp) ---------------------------------------------------

// What each host's main() runs: `--export FILE` / `--import FILE`, or the
// game, with the options of the environment, the one-copy lock, a script or
// a recording. Returns the exit code.
int RunProgram(int argc, char** argv);

// ---- the recorder (recorder.cpp) -------------------------------------------------

// The longest one script `wait` may be, in milliseconds (a day); a recording
// splits longer ones.
constexpr std::int64_t kLongestWait = 86400000;
// One timer gives at most MS / kShortestTimerPeriod + 1 messages in MS
// milliseconds, which bounds what a counted wait may owe.
constexpr std::int64_t MostTimerMessages(std::int64_t ms) {
  return ms / kShortestTimerPeriod + 1;
}

// Starts writing the session to `path` (truncated); false with the reason.
bool StartRecording(const std::string& path, std::string* error);
// Writes what is left (timer messages since the last line) and closes the file.
void StopRecording();
bool Recording();
bool HoldsInput();
// The desktop's own turn of the device (Ctrl+R), held the same way.
void TurnFromDesktop();
void RecorderNoteTimer(const TimerMessage& m);
void RecorderNoteClock(std::int64_t value);

// ---- the script runner (script.cpp) ---------------------------------------------

// Reads and checks the script at `path`, once (a pipe or a FIFO gives its lines
// only to the first reader); false with the message for stderr.
bool LoadScript(const std::string& path, std::string* error);
// A line of the script failed (said on stderr at that line).
bool ScriptFailed();

// The script's name of a virtual key ("up", "enter", "a", ...); empty if none.
std::string ScriptKeyName(UINT vk);

}  // namespace ce
