// Every test process keeps its data in a folder of its own, made for it and
// removed after it: no test reads or writes a player's saves (the default
// folder is the player's own), nor the folder of a test running beside it.
// A test that wants another folder sets MELVORIA_DATA_DIR itself; a test
// program that a test starts again keeps the folder it was handed.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

struct PrivateDataFolder {
  std::string path;
  PrivateDataFolder() {
    if (std::getenv("MELVORIA_TEST_PROCESS")) return;
    ::setenv("MELVORIA_TEST_PROCESS", "1", 1);
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/melvoria-test-XXXXXX";
    if (!::mkdtemp(name.data())) return;
    path = name;
    ::setenv("MELVORIA_DATA_DIR", (path + "/data").c_str(), 1);
    ::setenv("MELVORIA_RUNTIME_DIR", (path + "/run").c_str(), 0);
  }
  ~PrivateDataFolder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};
PrivateDataFolder g_folder;

}  // namespace
