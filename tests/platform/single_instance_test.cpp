#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/port.h"
#include "platform/scoped_env.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

// The outcome of a second start: claimed, and whether its request got through.
enum : int { kClaimed = 10, kRefusedAndDelivered = 20, kRefusedNotDelivered = 30 };

// Another copy of the game, as far as the lock and socket can tell, is this
// test program started again to run the test below alone, which the variable
// turns from a skipped test into that copy ("second": a second start; "claim":
// a copy that claims and dies without letting go). A fork alone would copy
// this process with its listener thread, whose locks the child may find held.
constexpr const char* kChildVar = "MELVORIA_INSTANCE_TEST_CHILD";

TEST(SingleInstanceChild, RunsOnlyWhenStartedByTheTests) {
  const char* what = std::getenv(kChildVar);
  if (!what) GTEST_SKIP() << "the copy that the single-instance tests start";
  if (std::string(what) == "claim") ::_exit(ce::ClaimInstance(ce::host::DataDir(), nullptr) ? 0 : 1);
  if (ce::ClaimInstance(ce::host::DataDir(), nullptr)) ::_exit(kClaimed);
  ::_exit(ce::AskRunningInstanceToActivate(ce::host::DataDir()) ? kRefusedAndDelivered
                                                                : kRefusedNotDelivered);
}

// Starts that copy with this environment changed (an empty value unsets) and
// returns its exit code.
int InChild(const char* what, const std::vector<std::pair<std::string, std::string>>& changes = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool changed = name == kChildVar;
    for (const auto& c : changes) changed = changed || c.first == name;
    if (!changed) env.push_back(entry);
  }
  env.push_back(std::string(kChildVar) + "=" + what);
  for (const auto& c : changes)
    if (!c.second.empty()) env.push_back(c.first + "=" + c.second);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=SingleInstanceChild.*";
  char* argv[] = {self.data(), filter.data(), nullptr};
  posix_spawn_file_actions_t quiet;  // its test report would only be noise
  ::posix_spawn_file_actions_init(&quiet);
  ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = ::posix_spawn(&pid, self.c_str(), &quiet, nullptr, argv, envp.data());
  ::posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
int SecondStart(const std::vector<std::pair<std::string, std::string>>& changes = {}) {
  return InChild("second", changes);
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-instance-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    runtime_.emplace("MELVORIA_RUNTIME_DIR", (root_ / "run").string());
    data_.emplace("MELVORIA_DATA_DIR", (root_ / "data").string());
  }
  void TearDown() override {
    ce::ReleaseInstance();
    fs::remove_all(root_);
  }

  std::function<void()> CountRequests() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      ++requests_;
      changed_.notify_all();
    };
  }
  int WaitForRequests(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_ >= n; });
    return requests_;
  }
  int Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  int SocketFiles() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(root_ / "run")) n += e.path().extension() == ".sock";
    return n;
  }

  fs::path root_;
  std::optional<ScopedEnv> runtime_, data_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int requests_ = 0;
};

TEST_F(SingleInstanceTest, ASecondCopyIsRefusedAndWakesTheFirst) {
  ASSERT_TRUE(ce::ClaimInstance(ce::host::DataDir(), CountRequests()));
  EXPECT_EQ(SecondStart(), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(1), 1);
  EXPECT_EQ(SecondStart(), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(2), 2);

  // Once the first copy lets go, the next start is the only copy, and nobody
  // answers a request meanwhile.
  ce::ReleaseInstance();
  EXPECT_EQ(SocketFiles(), 0);
  EXPECT_FALSE(ce::AskRunningInstanceToActivate(ce::host::DataDir()));
  EXPECT_EQ(SecondStart(), kClaimed);
  EXPECT_TRUE(ce::ClaimInstance(ce::host::DataDir(), CountRequests()));
  EXPECT_EQ(Requests(), 2);
}

TEST_F(SingleInstanceTest, ACrashedCopyDoesNotBlockTheNextStart) {
  // A copy that dies without letting go leaves its socket file behind.
  EXPECT_EQ(InChild("claim"), 0);
  ASSERT_EQ(SocketFiles(), 1);

  ASSERT_TRUE(ce::ClaimInstance(ce::host::DataDir(), CountRequests()));
  EXPECT_EQ(SecondStart(), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(1), 1);
}

TEST_F(SingleInstanceTest, EverySpellingAndSessionFindsTheRunningCopy) {
  ASSERT_TRUE(ce::ClaimInstance(ce::host::DataDir(), CountRequests()));
  fs::create_directory_symlink(root_ / "data", root_ / "link");
  struct Case {
    const char* what;
    fs::path data;
    fs::path runtime;  // MELVORIA_RUNTIME_DIR; empty: unset
    fs::path xdg;      // XDG_RUNTIME_DIR
  };
  const Case cases[] = {
      {"a link to the folder", root_ / "link", root_ / "run", {}},
      {"another runtime folder", root_ / "data", root_ / "run2", {}},
      {"a link from a session of its own", root_ / "link", {}, root_ / "xdg"},
  };
  int asked = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(SecondStart({{"MELVORIA_DATA_DIR", c.data.string()},
                           {"MELVORIA_RUNTIME_DIR", c.runtime.string()},
                           {"XDG_RUNTIME_DIR", c.xdg.string()}}),
              kRefusedAndDelivered)
        << c.what;
    ++asked;
    EXPECT_EQ(WaitForRequests(asked), asked) << c.what;
  }
}

TEST_F(SingleInstanceTest, FoldersThatCannotBeUsedStillLetTheGameRun) {
  std::ofstream(root_ / "file") << "x";
  struct Case {
    const char* what;
    fs::path data;
    fs::path runtime;
    int second;
  };
  const Case cases[] = {
      // Nothing can be stored there, so no copy can overwrite another's store.
      {"no data folder", root_ / "file" / "data", root_ / "run", kClaimed},
      // Still one copy per data folder; the second just cannot wake the first.
      {"no runtime folder", root_ / "data", root_ / "file" / "run", kRefusedNotDelivered},
  };
  for (const Case& c : cases) {
    data_->Set(c.data.string());
    runtime_->Set(c.runtime.string());
    EXPECT_TRUE(ce::ClaimInstance(ce::host::DataDir(), nullptr)) << c.what;
    EXPECT_EQ(SecondStart(), c.second) << c.what;
    ce::ReleaseInstance();
  }
}

TEST_F(SingleInstanceTest, CopiesWithOtherDataFoldersRunSideBySide) {
  ASSERT_TRUE(ce::ClaimInstance(ce::host::DataDir(), CountRequests()));
  EXPECT_EQ(SecondStart({{"MELVORIA_DATA_DIR", (root_ / "other").string()}}), kClaimed);
  EXPECT_EQ(Requests(), 0);
}

}  // namespace
