// What the desktop host offers beyond the device's port: for its entry, its
// benchmarks and its tests.
#pragma once

#include <cstdint>

namespace ce {

// SIGTERM, SIGHUP and SIGINT close the program as a closed window does; taken
// by a thread of their own. Called before any other thread starts.
void CatchCloseSignals();
// The desktop window's next frame at once, whatever the display's pace (for
// benchmarks); returns the window pixels it sent, 0 when no pixel changed,
// -1 when the draw failed (the next frame is then whole).
std::int64_t DesktopFrameNow();
// Tests: the next `count` frames fail to draw, as with a lost window surface.
void DesktopFailDraws(int count);

}  // namespace ce
