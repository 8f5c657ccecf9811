// The host side of the device: start-up from the environment, the program
// entry, and what tests and tools may observe or drive. Game code does not use
// this header except the program entry (WinMain) that it defines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device.h"

// The game defines this, as on the handheld; the device's main() calls it.
int WinMain(ce::HINSTANCE instance, ce::HINSTANCE previous, ce::LPWSTR commandLine, int show);

namespace ce::host {

// The game defines this too: its name (its main window's class, which a second
// copy looks for, and the title of the window or page) and its icon's resource.
struct ProgramIdentity {
  const char16_t* windowClass;
  int icon;
};
ProgramIdentity Program();

struct Options {
  int screenWidth = 480;
  int screenHeight = 640;
  int dpi = 0;              // 0: 96 for a 240-wide screen class, else 192
  bool headless = true;     // no desktop window
  bool virtualTime = true;  // GetTickCount and timers follow a clock that only AdvanceTime moves
  std::string scriptPath;   // empty: no script
  std::string recordPath;   // empty: the session is not recorded
  std::string dataDir;      // empty: from the environment
};

// Options as MELVORIA_SCREEN, MELVORIA_DPI, MELVORIA_HEADLESS, MELVORIA_SCRIPT,
// MELVORIA_RECORD and MELVORIA_DATA_DIR say. Returns false with a message on a
// malformed value, on a MELVORIA_DPI other than the screen's own (96 or 192, as
// `dpi` says), and on a recording asked of a run without the desktop window.
bool OptionsFromEnvironment(Options* options, std::string* error);

// Brings the device up (or resets it to nothing: no windows, timers, queue,
// shell state, a fresh clock at 0 and a black screen). Tests call it per test.
void Start(const Options& options);
// Closes every window, timer, wave device and the desktop window.
void Stop();
const Options& CurrentOptions();

// One copy: true when this process is the only copy of the game (for its data
// folder); false when another runs, which FindWindowW then finds.
bool ClaimSingleCopy();
void ReleaseSingleCopy();

// ---- the emulated screen --------------------------------------------------------
int ScreenWidth();
int ScreenHeight();
// Pixels as 0x00RRGGBB, row by row.
const std::vector<std::uint32_t>& ScreenPixels();
std::uint32_t ScreenPixel(int x, int y);                           // 0x00RRGGBB
void Rotate();                                                     // swaps width and height
bool SaveScreenshot(const std::string& path, std::string* error);  // .png or .bmp

// ---- input and time -------------------------------------------------------------
void StylusDown(int x, int y);
void StylusMove(int x, int y);
void StylusUp(int x, int y);
void KeyDown(UINT vk);
void KeyUp(UINT vk);
void TypeText(const std::u16string& text);
// Virtual time only: moves the clock on by ms, delivering every timer message
// that falls due on the way (through the program's own message loop when one
// runs; tests without a loop call PumpMessages).
void AdvanceTime(DWORD ms);
// Dispatches every message that is ready now, paints included; returns the count.
int PumpMessages();

// ---- observation ------------------------------------------------------------------
// The invalid (needing paint) area of a window, as disjoint rectangles in
// window coordinates.
std::vector<RECT> InvalidRegion(HWND hwnd);
struct ShellState {
  bool taskBarHidden = false;
  bool sipButtonHidden = false;
  bool startIconHidden = false;
  int fullScreenCalls = 0;
  int activateCalls = 0;
  int settingChangeCalls = 0;
  HWND lastFullScreenWindow = nullptr;
  HWND foregroundWindow = nullptr;
};
const ShellState& Shell();
// Top-level windows from the bottom of the z-order to the top.
std::vector<HWND> TopLevelWindows();
// The message box on screen, if any (null otherwise): its text and caption.
HWND CurrentMessageBox();

// ---- wave output --------------------------------------------------------------------
struct WaveEvent {
  int device;  // the device's number, in opening order from 1
  const WAVEHDR* header;
  DWORD bytes;
};
// Buffers written, in order, since Start.
std::vector<WaveEvent> WaveWrites();
// The volume word last set on device 0 (0xFFFFFFFF at first); its low word
// scales the whole mix.
DWORD WaveOutputVolume();
// Mixes the next `frames` frames of output at WaveOutputRate() on this thread
// and returns them as interleaved stereo floats (left, right); buffers that end
// are reported done from here. With SDL's dummy audio driver the output stays
// paused, so this is the only thing that plays: tests drive the mixer by hand.
std::vector<float> MixForTest(int frames);
// Frames per second of the mixed output (44100 unless the audio device asked
// for another rate).
int WaveOutputRate();
// True while the output that plays (not the dummy driver's) is running: it
// stops when nothing is left to play and starts again at the next write.
bool WaveOutputRunning();

// ---- data folder ---------------------------------------------------------------------
// $MELVORIA_DATA_DIR, else $XDG_DATA_HOME/melvoria, else ~/.local/share/melvoria, read
// from the environment at each call; absolute. The registry lives in <data>/registry/.
std::string DataDir();
// Tests: the next RegSetValueExW stops after writing and syncing its temporary file,
// before the rename, as a crash there would, and fails with ERROR_WRITE_FAULT.
void FailNextRegistryWrite();

}  // namespace ce::host
