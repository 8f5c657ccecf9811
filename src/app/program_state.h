// Every program-wide value back to how the process starts.
#pragma once

// Releases the retained drawing surfaces and resets the stored records, the
// hi-score tables, the engine, the render requests, the shell, the display
// metrics and the screens' cursors. Tests and benchmarks call it after
// bringing the device up (host::Start), which has closed the sound devices.
void ResetProgramState();
