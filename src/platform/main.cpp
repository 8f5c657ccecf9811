// The device's entry: reads the environment, brings the device up and runs the
// game's WinMain.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "platform/host.h"
#include "platform/session.h"

namespace ce {
bool LoadScript(const std::string& path, std::string* error);
bool DesktopProbe(std::string* error);
}  // namespace ce

int main() {
  SDL_SetMainReady();
  ce::host::Options options;
  std::string error;
  if (!ce::host::OptionsFromEnvironment(&options, &error)) {
    std::fprintf(stderr, "melvoria: %s\n", error.c_str());
    return 2;
  }
  // A malformed script stops the run before anything happens.
  if (!options.scriptPath.empty() && !ce::LoadScript(options.scriptPath, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  // A headless run takes no desktop events, so SDL must not turn SIGTERM and
  // SIGINT into a quit event nobody reads: they end it the usual way.
  if (options.headless) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  ce::host::Start(options);
  if (!options.scriptPath.empty()) ce::LoadScript(options.scriptPath, &error);
  if (!options.headless && !ce::DesktopProbe(&error)) {
    std::fprintf(stderr, "melvoria: cannot open a window (no display?): %s\n", error.c_str());
    ce::host::Stop();
    return 1;
  }
  // A second copy only hands over to the first: it records nothing (and
  // leaves the first one's recording alone).
  if (ce::host::ClaimSingleCopy() && !options.recordPath.empty() &&
      !ce::StartRecording(options.recordPath, &error)) {
    std::fprintf(stderr, "melvoria: %s\n", error.c_str());
    ce::host::Stop();
    ce::host::ReleaseSingleCopy();
    return 2;
  }
  static char16_t empty[1] = {0};
  int rc = WinMain(ce::GetModuleHandleW(nullptr), nullptr, empty, ce::SW_SHOW);
  ce::StopRecording();
  ce::host::Stop();
  ce::host::ReleaseSingleCopy();
  return rc;
}
