#include "platform/single_instance.h"

#include <gtest/gtest.h>
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

#include "platform/scoped_env.h"

namespace fs = std::filesystem;

namespace {

// Runs `body` in a forked copy of this process (another copy of the game, as
// far as the lock and socket can tell) and returns its exit code.
int InChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child's outcome: claimed, and whether its request got through.
enum : int { kClaimed = 10, kRefusedAndDelivered = 20, kRefusedNotDelivered = 30 };
int SecondStart() {
  if (ce::ClaimInstance(nullptr)) return kClaimed;
  return ce::AskRunningInstanceToActivate() ? kRefusedAndDelivered : kRefusedNotDelivered;
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
  ASSERT_TRUE(ce::ClaimInstance(CountRequests()));
  EXPECT_EQ(InChild(SecondStart), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(1), 1);
  EXPECT_EQ(InChild(SecondStart), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(2), 2);

  // Once the first copy lets go, the next start is the only copy, and nobody
  // answers a request meanwhile.
  ce::ReleaseInstance();
  EXPECT_EQ(SocketFiles(), 0);
  EXPECT_FALSE(ce::AskRunningInstanceToActivate());
  EXPECT_EQ(InChild(SecondStart), kClaimed);
  EXPECT_TRUE(ce::ClaimInstance(CountRequests()));
  EXPECT_EQ(Requests(), 2);
}

TEST_F(SingleInstanceTest, ACrashedCopyDoesNotBlockTheNextStart) {
  // A copy that dies without letting go leaves its socket file behind.
  EXPECT_EQ(InChild([] { return ce::ClaimInstance(nullptr) ? 0 : 1; }), 0);
  ASSERT_EQ(SocketFiles(), 1);

  ASSERT_TRUE(ce::ClaimInstance(CountRequests()));
  EXPECT_EQ(InChild(SecondStart), kRefusedAndDelivered);
  EXPECT_EQ(WaitForRequests(1), 1);
}

TEST_F(SingleInstanceTest, EverySpellingAndSessionFindsTheRunningCopy) {
  ASSERT_TRUE(ce::ClaimInstance(CountRequests()));
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
    EXPECT_EQ(InChild([&c] {
                ::setenv("MELVORIA_DATA_DIR", c.data.c_str(), 1);
                if (c.runtime.empty())
                  ::unsetenv("MELVORIA_RUNTIME_DIR");
                else
                  ::setenv("MELVORIA_RUNTIME_DIR", c.runtime.c_str(), 1);
                ::setenv("XDG_RUNTIME_DIR", c.xdg.c_str(), 1);
                return SecondStart();
              }),
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
    EXPECT_TRUE(ce::ClaimInstance(nullptr)) << c.what;
    EXPECT_EQ(InChild(SecondStart), c.second) << c.what;
    ce::ReleaseInstance();
  }
}

TEST_F(SingleInstanceTest, CopiesWithOtherDataFoldersRunSideBySide) {
  ASSERT_TRUE(ce::ClaimInstance(CountRequests()));
  EXPECT_EQ(InChild([this] {
              ::setenv("MELVORIA_DATA_DIR", (root_ / "other").c_str(), 1);
              return SecondStart();
            }),
            kClaimed);
  EXPECT_EQ(Requests(), 0);
}

}  // namespace
