#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/host.h"
#include "platform/scoped_env.h"

namespace fs = std::filesystem;
using namespace ce;

namespace {

constexpr const char16_t* kKey = u"Software\\handsetdev\\Dunmorrow\\Melvoria";

std::vector<BYTE> FileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

std::vector<BYTE> Pattern(std::size_t n, int seed) {
  std::vector<BYTE> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = BYTE(i * 7 + seed);
  return v;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    data_ = root_ / "data";
    env_.Set(data_.string());
  }
  void TearDown() override { fs::remove_all(root_); }

  HKEY Create() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  fs::path KeyFolder() const {
    return data_ / "registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  }
  std::vector<BYTE> Query(HKEY key, const char16_t* name) {
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    std::vector<BYTE> out(size);
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, out.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, out.size());
    return out;
  }

  ScopedEnv env_{"MELVORIA_DATA_DIR"};
  fs::path root_;
  fs::path data_;
};

TEST_F(RegistryTest, ValuesRoundTripAsFilesOfTheirBytes) {
  DWORD disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(host::DataDir(), data_.string());

  std::vector<BYTE> status = Pattern(692, 1);
  ASSERT_EQ(RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, status.data(), DWORD(status.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"GameStatus"), status);
  EXPECT_EQ(FileBytes(KeyFolder() / "GameStatus"), status);

  // A shorter value replaces the file whole: nothing of the old tail remains.
  std::vector<BYTE> table = Pattern(144, 2);
  ASSERT_EQ(RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, table.data(), DWORD(table.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(FileBytes(KeyFolder() / "GameStatus"), table);
  ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"Empty"), std::vector<BYTE>{});
  // Names are stored as UTF-8 file names.
  ASSERT_EQ(RegSetValueExW(key, u"Pr\u00e9fs\u2603", 0, REG_BINARY, table.data(), 4), ERROR_SUCCESS);
  EXPECT_EQ(FileBytes(KeyFolder() / "Pr\xc3\xa9"
                                    "fs\xe2\x98\x83")
                .size(),
            4u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // A second run opens the existing key and reads what the first left.
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(Query(key, u"GameStatus"), table);
  EXPECT_EQ(RegDeleteValueW(key, u"GameStatus"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"GameStatus"), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(KeyFolder() / "GameStatus"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"Empty"), std::vector<BYTE>{});
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nobody", 0, KEY_ALL_ACCESS, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, FailedReadsLeaveTheBufferUntouched) {
  HKEY key = Create();
  std::vector<BYTE> table = Pattern(144, 3);
  ASSERT_EQ(RegSetValueExW(key, u"Prefs", 0, REG_BINARY, table.data(), DWORD(table.size())), ERROR_SUCCESS);

  std::vector<BYTE> buffer(692, 0xAB);
  DWORD size = DWORD(buffer.size());
  DWORD type = 1234;
  EXPECT_EQ(RegQueryValueExW(key, u"PrefsHard", nullptr, &type, buffer.data(), &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(buffer, std::vector<BYTE>(692, 0xAB));
  EXPECT_EQ(size, 692u);
  EXPECT_EQ(type, 1234u);

  size = 143;  // one byte short
  EXPECT_EQ(RegQueryValueExW(key, u"Prefs", nullptr, nullptr, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 144u);
  EXPECT_EQ(buffer, std::vector<BYTE>(692, 0xAB));

  // Room to spare: only the value's bytes are written.
  size = DWORD(buffer.size());
  EXPECT_EQ(RegQueryValueExW(key, u"Prefs", nullptr, nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 144u);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), buffer.begin()));
  EXPECT_EQ(buffer[144], 0xAB);
  RegCloseKey(key);
}

TEST_F(RegistryTest, WriteCutShortBeforeItsRenameKeepsTheOldValue) {
  HKEY key = Create();
  std::vector<BYTE> before = Pattern(692, 4);
  std::vector<BYTE> after = Pattern(100, 5);
  ASSERT_EQ(RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, before.data(), DWORD(before.size())),
            ERROR_SUCCESS);

  host::FailNextRegistryWrite();
  EXPECT_NE(RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, after.data(), DWORD(after.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"GameStatus"), before);
  EXPECT_EQ(FileBytes(KeyFolder() / "GameStatus"), before);
  // The crash left its temporary file holding the new bytes; nothing reads it as a value.
  int strays = 0;
  for (const auto& entry : fs::directory_iterator(KeyFolder())) {
    if (entry.path().filename() == "GameStatus") continue;
    ++strays;
    EXPECT_EQ(FileBytes(entry.path()), after);
  }
  EXPECT_EQ(strays, 1);

  // The next write goes through despite the leftover.
  ASSERT_EQ(RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, after.data(), DWORD(after.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"GameStatus"), after);
  RegCloseKey(key);
}

TEST_F(RegistryTest, NamesThatLeaveTheirFolderAreRefused) {
  HKEY key = Create();
  BYTE byte = 1;
  const char16_t badSurrogate[] = {u'a', char16_t(0xD800), 0};
  for (const char16_t* name : {u"", u".", u"..", u"a/b", u"..\\x", u"/etc", u".~1-1.tmp", badSurrogate}) {
    SCOPED_TRACE(testing::Message() << "value name of " << std::char_traits<char16_t>::length(name)
                                    << " units");
    EXPECT_NE(RegSetValueExW(key, name, 0, REG_BINARY, &byte, 1), ERROR_SUCCESS);
    DWORD size = 1;
    EXPECT_NE(RegQueryValueExW(key, name, nullptr, nullptr, &byte, &size), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteValueW(key, name), ERROR_SUCCESS);
  }
  EXPECT_TRUE(fs::is_empty(KeyFolder()));

  for (const char16_t* sub :
       {u"..", u"a\\..\\..\\b", u"\\a", u"a\\", u"a\\\\b", u"a/../../b", badSurrogate}) {
    HKEY other = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(other, nullptr);
  }
  // Only the registry folder was ever made.
  std::vector<fs::path> made;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) made.push_back(entry.path());
  EXPECT_EQ(made.size(), 7u);  // data, registry, HKEY_CURRENT_USER and the four key folders

  EXPECT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(&byte), u"Prefs", 0, REG_BINARY, &byte, 1),
            ERROR_INVALID_HANDLE);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AFolderThatCannotBeWrittenMakesTheCallFail) {
  // Tests run as root, which ignores permission bits: a regular file where a
  // folder must go stops root too.
  std::ofstream(root_ / "file") << "x";
  for (const fs::path& dir : {root_ / "file", root_ / "file" / "data"}) {
    SCOPED_TRACE(dir.string());
    env_.Set(dir.string());
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(key, nullptr);
  }

  // A key whose folder is replaced by a file after it was opened: writes fail,
  // reads find nothing.
  env_.Set(data_.string());
  HKEY key = Create();
  fs::remove_all(KeyFolder());
  std::ofstream(KeyFolder()) << "x";
  BYTE byte = 7;
  EXPECT_NE(RegSetValueExW(key, u"Prefs", 0, REG_BINARY, &byte, 1), ERROR_SUCCESS);
  DWORD size = 1;
  EXPECT_EQ(RegQueryValueExW(key, u"Prefs", nullptr, nullptr, &byte, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(byte, 7);
  RegCloseKey(key);
}

TEST_F(RegistryTest, TheNextStartRemovesTemporaryFilesOfWritesCutShort) {
  // A run that dies between writing its temporary file and the rename.
  pid_t crashed = ::fork();
  if (crashed == 0) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    BYTE byte = 1;
    host::FailNextRegistryWrite();
    RegSetValueExW(key, u"GameStatus", 0, REG_BINARY, &byte, 1);
    ::_exit(0);
  }
  ::waitpid(crashed, nullptr, 0);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(KeyFolder())) left.push_back(entry.path().filename());
  ASSERT_EQ(left.size(), 1u);

  auto temp = [](pid_t pid, int n) { return ".~" + std::to_string(pid) + "-" + std::to_string(n) + ".tmp"; };
  struct Case {
    std::string name;
    bool kept;
  };
  const Case cases[] = {
      {left[0], false},                // the crashed run's
      {temp(crashed, 900), false},     // another of a run that has ended
      {temp(::getpid(), 900), false},  // an earlier run that had this process's id
      {temp(::getppid(), 900), true},  // a process that runs now
      {".~" + std::to_string(crashed) + ".tmp", true},
      {temp(crashed, 901) + ".old", true},
      {"notes.tmp", true},
      {"GameStatus", true},
  };
  for (const Case& c : cases)
    if (c.name != left[0]) std::ofstream(KeyFolder() / c.name) << "x";
  fs::create_directory(KeyFolder() / temp(crashed, 902));  // not a file of ours

  HKEY key = Create();
  for (const Case& c : cases) EXPECT_EQ(fs::exists(KeyFolder() / c.name), c.kept) << c.name;
  EXPECT_TRUE(fs::is_directory(KeyFolder() / temp(crashed, 902)));
  RegCloseKey(key);
}

// A query in a forked copy of this process, stopped by an alarm if it blocks:
// its result, 100 for bytes other than `want`, or -1 when it did not end.
int QueryInChild(HKEY key, const char16_t* name, const std::vector<BYTE>& want) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(5);
    std::vector<BYTE> buffer(want.size() + 8);
    DWORD size = DWORD(buffer.size());
    LONG result = RegQueryValueExW(key, name, nullptr, nullptr, buffer.data(), &size);
    buffer.resize(size);
    ::_exit(result != ERROR_SUCCESS ? int(result) : buffer == want ? 0 : 100);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegistryTest, OnlyARegularFileIsAValueAndNoneBlocks) {
  HKEY key = Create();
  const std::vector<BYTE> bytes = Pattern(144, 6);
  std::ofstream(root_ / "elsewhere", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 144);
  ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0);
  struct Case {
    const char16_t* name;
    std::function<void(const fs::path&)> make;
    int want;
  };
  const Case cases[] = {
      {u"Folder", [](const fs::path& p) { fs::create_directory(p); }, ERROR_FILE_NOT_FOUND},
      {u"Fifo", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, ERROR_FILE_NOT_FOUND},
      {u"LinkToFifo", [&](const fs::path& p) { fs::create_symlink(root_ / "fifo", p); },
       ERROR_FILE_NOT_FOUND},
      {u"LinkToNothing", [&](const fs::path& p) { fs::create_symlink(root_ / "gone", p); },
       ERROR_FILE_NOT_FOUND},
      {u"LinkToAFile", [&](const fs::path& p) { fs::create_symlink(root_ / "elsewhere", p); }, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    fs::path file = KeyFolder() / fs::path(std::u16string(c.name));
    SCOPED_TRACE(file.filename().string());
    c.make(file);
    EXPECT_EQ(QueryInChild(key, c.name, bytes), c.want);
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, DataDirFollowsTheEnvironment) {
  ScopedEnv xdg("XDG_DATA_HOME");
  ScopedEnv home("HOME");
  home.Set("/home/someone");

  env_.Set("/srv/melvoria-data/");
  xdg.Set("/xdg");
  EXPECT_EQ(host::DataDir(), "/srv/melvoria-data");
  env_.Unset();
  EXPECT_EQ(host::DataDir(), "/xdg/melvoria");
  xdg.Set("relative/not/allowed");
  EXPECT_EQ(host::DataDir(), "/home/someone/.local/share/melvoria");
  xdg.Unset();
  EXPECT_EQ(host::DataDir(), "/home/someone/.local/share/melvoria");
  env_.Set("rel");
  EXPECT_EQ(host::DataDir(), (fs::current_path() / "rel").string());
}

}  // namespace
