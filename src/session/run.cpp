// The program's run, whatever hosts it: reads the environment, brings the
// device up and runs the game's WinMain. `--export FILE` and `--import FILE`
// copy the data folder's saves to or from a saves file instead (saves_file.h).
#include <cstdio>
#include <cstring>
#include <string>

#include "device/saves_file.h"
#include "platform/host.h"
#include "session/session.h"

namespace {

// Import replaces what a running copy would overwrite at its next store, so it
// waits until no copy runs on the data folder. Export reads values that are
// each whole (the registry renames complete files into place).
int SavesCommand(const char* command, const char* file) {
  std::string error;
  bool import = std::strcmp(command, "--import") == 0;
  if (import && !ce::ClaimInstance(ce::host::DataDir(), nullptr)) {
    std::fprintf(stderr, "melvoria: Melvoria is running with %s; close it before importing saves\n",
                 ce::host::DataDir().c_str());
    return 1;
  }
  bool ok = import ? ce::saves::ImportFile(file, &error) : ce::saves::ExportFile(file, &error);
  if (import) ce::ReleaseInstance();
  if (!ok) {
    std::fprintf(stderr, "melvoria: %s: %s\n", file, error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

namespace ce {

int RunProgram(int argc, char** argv) {
  if (argc == 3 && (std::strcmp(argv[1], "--export") == 0 || std::strcmp(argv[1], "--import") == 0))
    return SavesCommand(argv[1], argv[2]);
  if (argc > 1) {
    std::fprintf(stderr, "usage: melvoria [--export FILE | --import FILE]\n");
    return 2;
  }
  ce::HostEnter();
  ce::host::Options options;
  std::string error;
  if (!ce::host::OptionsFromEnvironment(&options, &error)) {
    std::fprintf(stderr, "melvoria: %s\n", error.c_str());
    return 2;
  }
  // A malformed script stops the run before anything happens. It is read
  // once: a pipe or a FIFO gives its lines only to the first reader.
  if (!options.scriptPath.empty() && !ce::LoadScript(options.scriptPath, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  ce::host::Start(options);
  if (!options.headless && !ce::DesktopProbe(&error)) {
    std::fprintf(stderr, "melvoria: cannot open a window (no display?): %s\n", error.c_str());
    ce::host::Stop();
    return 1;
  }
  if (!options.headless && !ce::DesktopFrameLogOpen(&error)) {
    std::fprintf(stderr, "melvoria: %s\n", error.c_str());
    ce::host::Stop();
    return 2;
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
  if (rc == 0 && ce::ScriptFailed()) rc = 2;  // said on stderr at its line
  ce::StopRecording();
  ce::host::Stop();
  ce::host::ReleaseSingleCopy();
  return rc;
}

}  // namespace ce
