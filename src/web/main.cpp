// The page's entry: the program's run (session/run.cpp), then word to the page
// that the program has ended, with its exit code. Under
// Asyncify main() returns to the browser at its first wait, long before the
// program ends, so the page cannot learn it from the runtime.
//
// Also what the page's storage (pre.js) calls: the game asked to store for
// later or to stop, and the saves file written, checked and read.
#include <emscripten.h>

#include <string>
#include <vector>

#include "device/port.h"
#include "device/saves_file.h"
#include "session/session.h"

// clang-format off
EM_JS(void, web_program_ended, (int code), {
  if (Module.onProgramEnd) Module.onProgramEnd(code);
});
// clang-format on

int main() {
  static char name[] = "melvoria";
  char* argv[] = {name, nullptr};
  int rc = ce::RunProgram(1, argv);
  web_program_ended(rc);
  return rc;
}

namespace {
std::string g_answer;  // what the calls below return, kept until the next call

const char* Answer(bool ok, const std::string& error) {
  g_answer = ok ? std::string() : error;
  return g_answer.c_str();
}
}  // namespace

// The page goes out of sight, or hands the game to another tab: the main window
// is told it is no longer active (WA_INACTIVE), which stores what the close box
// stores and a game in progress as the exit box's Yes would. With `quit` the
// program then ends (after that store: posted messages come first), saving
// nothing more; with neither flag set it only ends. The page wakes the device.
extern "C" EMSCRIPTEN_KEEPALIVE void melvoria_leave(int store, int quit) {
  constexpr ce::WPARAM kInactive = 0;  // WA_INACTIVE
  if (store) {
    if (ce::HWND main = ce::MainWindow()) ce::PostMessageW(main, ce::WM_ACTIVATE, kInactive, 0);
  }
  if (quit) ce::PostQuitMessage(0);
}

// The saves file of the data folder written to `file`; "" or the reason it failed.
extern "C" EMSCRIPTEN_KEEPALIVE const char* melvoria_export_saves(const char* file) {
  std::string error;
  return Answer(ce::saves::ExportFile(file, &error), error);
}

// Whether `file` is a saves file that import would take; "" or the reason not.
extern "C" EMSCRIPTEN_KEEPALIVE const char* melvoria_check_saves(const char* file) {
  std::vector<ce::saves::Value> values;
  std::string error;
  return Answer(ce::saves::ReadFile(file, &values, &error), error);
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* melvoria_import_saves(const char* file) {
  std::string error;
  return Answer(ce::saves::ImportFile(file, &error), error);
}
