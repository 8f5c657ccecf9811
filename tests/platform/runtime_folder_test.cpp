// The one-copy socket lives only in a runtime folder that is the user's own:
// one that someone else owns or may enter is refused with a clear message,
// and so is a path too long for a socket's name (never a name in the abstract
// namespace, which any user could take first). The game still runs as the
// only copy.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "device/port.h"
#include "scoped_env.h"

namespace fs = std::filesystem;

namespace {

class RuntimeFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-runtime-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    data_.emplace("MELVORIA_DATA_DIR", (root_ / "data").string());
    runtime_.emplace("MELVORIA_RUNTIME_DIR");
  }
  void TearDown() override {
    ce::ReleaseInstance();
    fs::remove_all(root_);
  }

  // Claims with the runtime folder; what it said on stderr.
  std::string Claim(const fs::path& runtime) {
    runtime_->Set(runtime.string());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(ce::ClaimInstance(ce::host::DataDir(), nullptr));
    return testing::internal::GetCapturedStderr();
  }
  static int Sockets(const fs::path& folder) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) n += e.is_socket();
    return n;
  }
  // The abstract socket names the game's copies hold.
  static bool AbstractSocketHeld() {
    std::ifstream in("/proc/net/unix");
    std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return table.find("@melvoria-") != std::string::npos;
  }

  fs::path root_;
  std::optional<ScopedEnv> data_, runtime_;
};

TEST_F(RuntimeFolderTest, APrivateFolderTakesTheSocket) {
  fs::path run = root_ / "run";
  EXPECT_EQ(Claim(run), "");
  EXPECT_EQ(Sockets(run), 1);
  struct stat st {};
  ASSERT_EQ(::lstat(run.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(RuntimeFolderTest, FoldersOthersCanUseAreRefused) {
  struct Case {
    const char* what;
    mode_t mode;
    bool otherOwner;
    const char* says;
  };
  const Case cases[] = {
      {"open to everyone", 0777, false, "mode 0777"},
      {"open to the group", 0770, false, "mode 0770"},
      {"sticky and open, as /tmp", 01777, false, "mode 1777"},
      {"someone else's", 0700, true, "owned by user"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path run = root_ / "run";
    fs::remove_all(run);
    ASSERT_TRUE(fs::create_directory(run));
    ASSERT_EQ(::chmod(run.c_str(), c.mode), 0);
    if (c.otherOwner && ::chown(run.c_str(), ::getuid() == 0 ? 12345 : 0, -1) != 0) {
      // Only root can give a folder away: nothing to check as another user.
      continue;
    }
    std::string err = Claim(run);
    EXPECT_NE(err.find("the runtime folder " + run.string()), std::string::npos) << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_NE(err.find("MELVORIA_RUNTIME_DIR"), std::string::npos) << err;
    EXPECT_EQ(Sockets(run), 0);
    ce::ReleaseInstance();
  }
}

TEST_F(RuntimeFolderTest, APathTooLongForASocketIsRefused) {
  fs::path run = root_ / std::string(120, 'r');
  std::string err = Claim(run);
  EXPECT_NE(err.find("too long for a socket"), std::string::npos) << err;
  EXPECT_EQ(Sockets(run), 0);
  EXPECT_FALSE(AbstractSocketHeld());
}

}  // namespace
