// Runs the built program as a separate process, the way a player or a tool
// starts it: its own data and runtime folders, dummy SDL drivers, stderr kept.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace program {

struct Result {
  int code = -1;
  std::string err;
};

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Starts the program with this process's environment, less the game's own
// variables, plus the folders under dir and the extra variables.
inline pid_t Spawn(const std::filesystem::path& dir, const std::map<std::string, std::string>& extra,
                   const std::filesystem::path& errFile) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string kv(*e);
    auto eq = kv.find('=');
    if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const char* k : {"MELVORIA_SCRIPT", "MELVORIA_HEADLESS", "MELVORIA_SCREEN", "MELVORIA_DPI"}) env.erase(k);
  env["MELVORIA_DATA_DIR"] = (dir / "data").string();
  env["MELVORIA_RUNTIME_DIR"] = (dir / "run").string();
  env["SDL_AUDIODRIVER"] = "dummy";
  env["SDL_VIDEODRIVER"] = "dummy";
  for (auto& [k, v] : extra) env[k] = v;
  std::vector<std::string> flat;
  for (auto& [k, v] : env) flat.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& s : flat) envp.push_back(s.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  char* argv[] = {const_cast<char*>(MELVORIA_BINARY), nullptr};
  EXPECT_EQ(posix_spawn(&pid, MELVORIA_BINARY, &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs the program to its end; one that hangs is killed and is a failure,
// not a stuck suite.
inline Result Run(const std::filesystem::path& dir, const std::map<std::string, std::string>& extra,
                  std::chrono::seconds limit = std::chrono::seconds(90)) {
  std::filesystem::path errFile = dir / "stderr.txt";
  pid_t pid = Spawn(dir, extra, errFile);
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the program did not end";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Result r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.err = Slurp(errFile);
  return r;
}

}  // namespace program
