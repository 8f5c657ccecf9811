// The seam between the device and the machine that runs it. The device (the
// handheld's system as the game sees it) asks its host for a window, input,
// waits, frames, a lock and a script only through the calls declared here, and
// the host (desktop/, web/, present/, input/, session/) reaches into the device
// only through them and platform/host.h. Nothing outside device/ sees World.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/surface.h"
#include "platform/host.h"

namespace ce {

// ==== What the device gives its host =================================================

// ---- input ----
struct InputEvent {
  enum Kind { Down, Move, Up, KeyDown, KeyUp, Char } kind;
  int x = 0;  // device pixels (stylus)
  int y = 0;
  UINT code = 0;  // virtual key or UTF-16 unit
};
// Queues input for the message loop (a recording holds it first: HoldInput).
void QueueInput(const InputEvent& e);
// Queues input past the recording's hold: the recorder lets held input in.
void DeliverInput(const InputEvent& e);
// Nothing posted, queued or to paint, and no quit: where a replay acts.
bool BetweenMessages();
// An edit box is on screen (typing goes to it).
bool EditBoxShown();

// ---- the clocks ----
// The device's shortest timer period, in milliseconds.
constexpr std::int64_t kShortestTimerPeriod = 4;
// The device's clock in milliseconds: virtual in a scripted run, else real.
std::int64_t Now();
// Milliseconds of the real clock since the program started.
std::int64_t RealClockMs();
// A script's wait: the virtual clock may run `ms` on from now; timers fall due
// on the way. WaitRunning() until the loop has reached its end.
void StartWait(std::int64_t ms);
bool WaitRunning();

// ---- the screen ----
Surface& ScreenSurface();
// The main window's class icon as pixels (the key colour 0xFFCCFF); null if none.
std::shared_ptr<Surface> ProgramIcon();

// ---- the program ----
// The oldest top-level window still alive: the one the system closes.
HWND MainWindow();
// The system closes the program: the main window is asked to close (storing
// what a close stores); before there is one, the program ends by its quit
// message, which also ends a message box's loop.
void CloseProgram();

// ==== What the device asks of its host ===============================================

// ---- the window: desktop/sdl_window.cpp or web/page.cpp; no-ops when headless ----
bool DesktopOpen(std::string* error);
void DesktopClose();
// Shows the screen once a frame and takes the window's input.
void DesktopPresentIfDue();
// Waits for input until the deadline (ms of the real clock; -1: forever).
void DesktopWait(std::int64_t deadlineMs);
void DesktopScreenResized();
void DesktopRaise();
// The one-copy listener (another thread) asks the window to come to the front.
void RequestRaiseFromOtherThread();
// The device wrote these screen pixels (present/frame.cpp keeps them for the next frame).
void ScreenWritten(const RECT& r);

// ---- the start: web/page.cpp hands the browser back here now and then; the desktop does nothing ----
// Between steps of the program's start, until its first wait.
void StartStep();

// ---- the host's entry (session/run.cpp calls them; each host has its own) ----
// Once the command line is understood, before anything else runs.
void HostEnter();
// Whether a window can be had at all (a display, a canvas).
bool DesktopProbe(std::string* error);
// MELVORIA_FRAME_LOG opened, on a host that keeps one.
bool DesktopFrameLogOpen(std::string* error);

// ---- one copy per data folder: desktop/single_instance.cpp, web/single_instance.cpp ----
// True when this process is now the only copy for `dataDir`: it then calls
// onActivateRequest (from another thread) each time another copy asks. False
// when another copy holds it. When the lock cannot be had at all the game
// runs anyway: true, with a note on stderr.
bool ClaimInstance(const std::string& dataDir, std::function<void()> onActivateRequest);
// Asks the copy that holds the lock for `dataDir` to come to the front; true
// once it has.
bool AskRunningInstanceToActivate(const std::string& dataDir);
// Stops listening and frees the lock (no-op unless this process claimed it).
void ReleaseInstance();

// ---- the script runner and the recorder: session/ ----
bool ScriptLoaded();
// Carries out the next script line that needs the program idle; false when
// the script has ended.
bool ScriptStep();
// What a script says of the next timer message, asked by the message loop
// with the timer due first.
struct TimerRule {
  enum Kind {
    Free,    // timers fall due as always
    Held,    // no timer message now
    Counted  // one of a counted wait's messages: it comes at once
  } kind = Free;
  // Counted: the timer the wait names (of the windows of that class, the one
  // due first), if it names one.
  std::u16string timerClass;
  UINT_PTR timerId = 0;
};
TimerRule ScriptTimerRule();
// A timer message has been made (a recording and a counted wait count them).
struct TimerMessage {
  HWND window;
  const std::u16string& windowClass;
  UINT_PTR id;
  bool otherTimers;  // another timer runs too
};
void NoteTimerMessage(const TimerMessage& m);
// What the program's reading of the clock gives: `now`, or a script's `clock`.
std::int64_t ClockReading(std::int64_t now);
// While recording, input waits here until the device is between messages;
// true when it was held.
bool HoldInput(const InputEvent& e);
// Lets the oldest held input in when the device is between messages.
bool ReleaseHeldInput();

}  // namespace ce
