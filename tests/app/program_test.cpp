// The built program run as a player or a tool runs it: scripts, screenshots,
// bad input, and one copy.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "app/run_program.h"

namespace fs = std::filesystem;

namespace {

using Result = program::Result;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("melvoria-program-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  pid_t Spawn(const std::map<std::string, std::string>& extra, const fs::path& errFile) {
    return program::Spawn(dir_, extra, errFile);
  }
  static std::string Slurp(const fs::path& p) { return program::Slurp(p); }
  Result Run(const std::map<std::string, std::string>& extra) { return program::Run(dir_, extra); }

  Result RunScript(const std::string& script, std::map<std::string, std::string> extra = {}) {
    fs::path p = dir_ / "run.script";
    std::ofstream(p) << script;
    extra["MELVORIA_SCRIPT"] = p.string();
    return Run(extra);
  }

  fs::path dir_;
};

TEST_F(ProgramTest, MalformedScriptsStopBeforeAnythingHappens) {
  struct Case {
    const char* script;
    const char* line;
    const char* reason;
  };
  const Case cases[] = {
      {"wait 10\njump 3 4\n", ":2:", "unknown command 'jump'"},
      {"# comment\n\nkey home\n", ":3:", "unknown key 'home'"},
      {"tap 10\n", ":1:", "two coordinates"},
      {"tap -5 10\n", ":1:", "whole numbers"},
      {"wait soon\n", ":1:", "milliseconds"},
      {"wait 1\nshot screen.gif\n", ":2:", ".png or .bmp"},
      {"rotate now\n", ":1:", "rotate"},
  };
  for (const Case& c : cases) {
    fs::path shot = dir_ / "never.bmp";
    std::string script = std::string("shot ") + shot.string() + "\n" + c.script;
    // The first line is fine; the bad line's number moves down by one.
    Result r = RunScript(script);
    EXPECT_EQ(r.code, 2) << c.script;
    std::string line = ":" + std::to_string(std::stoi(std::string(c.line).substr(1)) + 1) + ":";
    EXPECT_NE(r.err.find(line), std::string::npos) << c.script << " -> " << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.script << " -> " << r.err;
    EXPECT_FALSE(fs::exists(shot)) << "a malformed script ran its good lines: " << c.script;
  }
}

TEST_F(ProgramTest, UnreadableScriptsAndBadScreenAreReported) {
  fs::create_directories(dir_ / "folder.script");
  for (const char* name : {"nothing.script", "folder.script"}) {
    Result r = Run({{"MELVORIA_SCRIPT", (dir_ / name).string()}});
    EXPECT_EQ(r.code, 2) << name;
    EXPECT_NE(r.err.find("cannot read the script"), std::string::npos) << name << " -> " << r.err;
  }
  Result r = Run({{"MELVORIA_SCREEN", "big"}});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("MELVORIA_SCREEN"), std::string::npos) << r.err;
}

// A pipe gives its lines to its first reader only: the script is read once.
TEST_F(ProgramTest, AScriptFromAPipeRunsWhole) {
  fs::path fifo = dir_ / "script.fifo", shot = dir_ / "shot.bmp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo) << "wait 100\nshot " + shot.string() + "\n"; });
  Result r = program::Run(dir_, {{"MELVORIA_SCRIPT", fifo.string()}}, std::chrono::seconds(20));
  // A writer still waiting for a reader (the program never came) is let go.
  int unblock = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (unblock >= 0) ::close(unblock);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(shot)) << r.err;
}

// What cannot be written is said once, clearly, and ends the run with code 2.
TEST_F(ProgramTest, FilesThatCannotBeWrittenEndTheRunWithCode2) {
  fs::create_symlink("/dev/full", dir_ / "full.png");  // a device that takes nothing
  std::ofstream(dir_ / "wait.script") << "wait 100\n";
  const std::string waitScript = (dir_ / "wait.script").string();
  struct Case {
    std::map<std::string, std::string> env;
    std::string script;  // run as MELVORIA_SCRIPT when not empty
    std::string says;
  };
  const Case cases[] = {
      {{{"MELVORIA_RECORD", "/dev/full"}},
       "",
       "melvoria: cannot write the recording /dev/full: No space left"},
      {{{"MELVORIA_FRAME_LOG", (dir_ / "none" / "frames").string()},
        {"MELVORIA_HEADLESS", "0"},
        {"MELVORIA_SCRIPT", waitScript}},
       "",
       "melvoria: cannot write the frame log MELVORIA_FRAME_LOG=" + (dir_ / "none" / "frames").string() +
           ": No such file"},
      {{},
       "wait 10\nshot " + (dir_ / "none" / "x.png").string() + "\n",
       "melvoria: script line 2: cannot write"},
      {{}, "wait 10\nshot " + (dir_ / "full.png").string() + "\n", "melvoria: script line 2: cannot write"},
  };
  for (const Case& c : cases) {
    Result r =
        c.script.empty() ? program::Run(dir_, c.env, std::chrono::seconds(20)) : RunScript(c.script, c.env);
    EXPECT_EQ(r.code, 2) << c.says << "\n" << r.err;
    EXPECT_EQ(r.err.find(c.says), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST_F(ProgramTest, StoredValuesThatAreNotFilesReadAsAbsent) {
  const fs::path key = dir_ / "data/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  fs::create_directories(key / "Prefs");
  ASSERT_EQ(::mkfifo((key / "GameStatus").c_str(), 0600), 0);
  std::ofstream(dir_ / "run.script") << "wait 100\n";
  // Reading a FIFO as a value would wait for a writer for ever.
  Result r =
      program::Run(dir_, {{"MELVORIA_SCRIPT", (dir_ / "run.script").string()}}, std::chrono::seconds(20));
  EXPECT_EQ(r.code, 0) << r.err;
}

// User plus system CPU time of a process, in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(stat.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

std::pair<int, int> BmpSize(const std::string& bytes) {
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return {0, 0};
  auto i32 = [&](int off) {
    return int(std::uint8_t(bytes[off]) | (std::uint8_t(bytes[off + 1]) << 8) |
               (std::uint8_t(bytes[off + 2]) << 16) | (std::uint8_t(bytes[off + 3]) << 24));
  };
  return {i32(18), std::abs(i32(22))};
}

TEST_F(ProgramTest, ScriptedRunsAreRepeatableAndShootBothScreens) {
  for (const char* screen : {"480x640", "240x320"}) {
    fs::path a = dir_ / "a.bmp", b = dir_ / "b.bmp", png = dir_ / "c.png";
    std::string script =
        "wait 1500\ntap 60 200\nwait 20\nshot " + a.string() + "\nshot " + png.string() + "\n";
    ASSERT_EQ(RunScript(script, {{"MELVORIA_SCREEN", screen}}).code, 0);
    fs::rename(a, b);
    ASSERT_EQ(RunScript(script, {{"MELVORIA_SCREEN", screen}}).code, 0);
    std::string first = Slurp(b), second = Slurp(a);
    auto [w, h] = BmpSize(first);
    EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), screen);
    // Virtual time: the same script gives the same screen, bit for bit.
    EXPECT_EQ(first, second);
    std::string p = Slurp(png);
    ASSERT_GE(p.size(), 8u);
    EXPECT_EQ(p.substr(1, 3), "PNG");
  }
}

TEST_F(ProgramTest, ASecondCopyHandsOverToTheFirstAndExits) {
  fs::path err1 = dir_ / "first.txt";
  // The first copy runs on the real clock, headless, until it is stopped.
  pid_t first = Spawn({{"MELVORIA_HEADLESS", "1"}}, err1);
  // Give it time to take the lock.
  Result second;
  bool handedOver = false;
  for (int i = 0; i < 50 && !handedOver; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (fs::exists(dir_ / "run")) {
      auto start = std::chrono::steady_clock::now();
      second = Run({{"MELVORIA_HEADLESS", "1"}});
      auto took = std::chrono::steady_clock::now() - start;
      handedOver = second.code == 0 && took < std::chrono::seconds(5);
    }
  }
  EXPECT_TRUE(handedOver) << second.err;
  int status = 0;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy went away";
  // Waiting for its next timer, the first copy sleeps: no busy loop.
  long before = CpuTicks(first);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  long after = CpuTicks(first);
  EXPECT_LT(after - before, 30) << "CPU ticks used in a second of idling";
  kill(first, SIGTERM);
  waitpid(first, &status, 0);
}

TEST_F(ProgramTest, ASecondCopyFindsTheFirstThroughALinkFromAnotherSession) {
  fs::create_directories(dir_ / "data");
  fs::create_directory_symlink(dir_ / "data", dir_ / "link");
  pid_t first = Spawn({{"MELVORIA_HEADLESS", "1"}}, dir_ / "first.txt");
  // Its runtime folder is made once it holds the lock.
  for (int i = 0; i < 100 && !fs::exists(dir_ / "run"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // A copy left running would be stopped at the limit: a failure.
  Result second = program::Run(dir_,
                               {{"MELVORIA_HEADLESS", "1"},
                                {"MELVORIA_DATA_DIR", (dir_ / "link").string()},
                                {"MELVORIA_RUNTIME_DIR", (dir_ / "run2").string()}},
                               std::chrono::seconds(15));
  EXPECT_EQ(second.code, 0) << second.err;
  int status = 0;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy went away";
  kill(first, SIGTERM);
  waitpid(first, &status, 0);
}

}  // namespace
