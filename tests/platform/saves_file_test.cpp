#include "device/saves_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "device/port.h"
#include "platform/scoped_env.h"

namespace fs = std::filesystem;
using ce::saves::Value;

namespace {

const std::string kKey = "registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/";

std::vector<std::uint8_t> Bytes(std::size_t n, int seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = std::uint8_t(i * 13 + seed);
  return v;
}

// Every byte value, newlines and the file's own keywords among them.
const std::vector<Value> kValues = {
    {kKey + "GameStatus", Bytes(692, 1)},
    {kKey + "Prefs", std::vector<std::uint8_t>{'\n', 'e', 'n', 'd', ' ', '0', '\n'}},
    {kKey + "PrefsHard", {}},
    {"registry/HKEY_CURRENT_USER/Zoë", Bytes(300, 7)},
};

// Values in a failure message: path, size and a hash of the bytes.
std::string Summary(const std::vector<Value>& values) {
  std::string out;
  for (const Value& v : values)
    out += v.path + " " + std::to_string(v.bytes.size()) + " " +
           std::to_string(std::hash<std::string>()(std::string(v.bytes.begin(), v.bytes.end()))) + "\n";
  return out;
}

std::string FileText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

TEST(SavesFile, WhatIsWrittenReadsBackExactly) {
  std::string file = ce::saves::Write(kValues);
  EXPECT_EQ(file.substr(0, 17), "melvoria saves 1\n");
  std::vector<Value> back;
  std::string error;
  ASSERT_TRUE(ce::saves::Read(file, &back, &error)) << error;
  EXPECT_TRUE(back == kValues) << Summary(back);

  ASSERT_TRUE(ce::saves::Read(ce::saves::Write({}), &back, &error)) << error;
  EXPECT_TRUE(back.empty());
}

// The layout is fixed: the page writes and reads this same text.
TEST(SavesFile, LayoutIsTheDocumentedOne) {
  EXPECT_EQ(ce::saves::Write({{"registry/HKEY_CURRENT_USER/A", {'x', 'y'}}}),
            "melvoria saves 1\nvalue 2 registry/HKEY_CURRENT_USER/A\nxy\nend cb96e718\n");
}

TEST(SavesFile, DamagedOrForeignFilesAreRefused) {
  const std::string good = ce::saves::Write(kValues);
  auto changed = [&](std::size_t at, char c) {
    std::string s = good;
    s[at] = c;
    return s;
  };
  const std::size_t inData = good.find("value 692") + 60;
  struct Case {
    const char* what;
    std::string file;
    const char* message;
  } cases[] = {
      {"empty", "", "not a Melvoria saves file"},
      {"a picture", "\x89PNG\r\n\x1a\n", "not a Melvoria saves file"},
      {"another version", "melvoria saves 2\nend 00000000\n", "not a Melvoria saves file"},
      {"cut short", good.substr(0, good.size() / 2), "damaged"},
      {"cut before its end line", good.substr(0, good.rfind("end ")), "damaged"},
      {"a changed byte", changed(inData, char(good[inData] ^ 1)), "check sum"},
      {"more after the end", good + "x", "damaged"},
      {"a size that is too big", "melvoria saves 1\nvalue 99 " + kKey + "Prefs\nab\nend 00000000\n",
       "cut short"},
      {"a size with a sign", "melvoria saves 1\nvalue -1 " + kKey + "Prefs\n\nend 00000000\n",
       "not a number"},
      {"a path out of the registry",
       "melvoria saves 1\nvalue 0 registry/HKEY_CURRENT_USER/../x\n\nend 00000000\n", "registry holds"},
      {"a path elsewhere", "melvoria saves 1\nvalue 0 /etc/passwd\n\nend 00000000\n", "registry holds"},
      {"a temporary file", "melvoria saves 1\nvalue 0 " + kKey + ".~1-0.tmp\n\nend 00000000\n",
       "registry holds"},
      {"a value twice", "melvoria saves 1\nvalue 0 " + kKey + "A\n\nvalue 0 " + kKey + "A\n\nend 00000000\n",
       "twice"},
      {"a line of neither kind", "melvoria saves 1\nhello\nend 00000000\n", "neither"},
  };
  for (const Case& c : cases) {
    std::vector<Value> values{{"x", {1}}};
    std::string error;
    EXPECT_FALSE(ce::saves::Read(c.file, &values, &error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(values.empty()) << c.what;
  }
}

class SavesFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-saves-XXXXXX";
    ASSERT_TRUE(::mkdtemp(tmpl));
    root_ = tmpl;
    data_ = root_ / "data";
    env_.Set(data_.string());
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(data_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  // Every file under the data folder but the lock of a running copy: path, size, hash.
  std::string Files() {
    std::vector<Value> out;
    if (!fs::exists(data_)) return "";
    for (const auto& e : fs::recursive_directory_iterator(data_)) {
      if (!e.is_regular_file() || e.path().filename() == "instance.lock") continue;
      std::string text = FileText(e.path());
      out.push_back({fs::relative(e.path(), data_).generic_string(), {text.begin(), text.end()}});
    }
    std::sort(out.begin(), out.end(), [](const Value& a, const Value& b) { return a.path < b.path; });
    return Summary(out);
  }
  fs::path root_, data_;
  ScopedEnv env_{"MELVORIA_DATA_DIR"};
};

TEST_F(SavesFolderTest, ExportThenImportIntoAnotherFolderGivesTheSameValues) {
  std::string error;
  ASSERT_TRUE(ce::saves::Replace(kValues, &error)) << error;
  WriteText(data_ / kKey / ".~99999999-0.tmp", "half a write");  // not a value
  WriteText(data_ / "instance.lock", "");                        // not a value either
  std::vector<Value> collected;
  ASSERT_TRUE(ce::saves::Collect(data_.string(), &collected, &error)) << error;
  std::vector<Value> sorted = kValues;
  std::sort(sorted.begin(), sorted.end(), [](const Value& a, const Value& b) { return a.path < b.path; });
  EXPECT_EQ(Summary(collected), Summary(sorted));

  fs::path file = root_ / "saves.melvoria";
  ASSERT_TRUE(ce::saves::ExportFile(file.string(), &error)) << error;
  env_.Set((root_ / "other").string());
  ASSERT_TRUE(ce::saves::ImportFile(file.string(), &error)) << error;
  ASSERT_TRUE(ce::saves::Collect((root_ / "other").string(), &collected, &error)) << error;
  EXPECT_TRUE(collected == sorted) << Summary(collected);
}

TEST_F(SavesFolderTest, ImportReplacesEveryValueAndRemovesTheOthers) {
  std::string error;
  ASSERT_TRUE(ce::saves::Replace({{kKey + "Old", {1, 2}}, {kKey + "Prefs", {3}}}, &error)) << error;
  WriteText(root_ / "in", ce::saves::Write({{kKey + "Prefs", {4, 5}}}));
  ASSERT_TRUE(ce::saves::ImportFile((root_ / "in").string(), &error)) << error;
  std::vector<Value> now;
  ASSERT_TRUE(ce::saves::Collect(data_.string(), &now, &error));
  EXPECT_EQ(now, (std::vector<Value>{{kKey + "Prefs", {4, 5}}}));
}

TEST_F(SavesFolderTest, RefusedImportsChangeNothing) {
  std::string error;
  ASSERT_TRUE(ce::saves::Replace(kValues, &error)) << error;
  auto before = Files();
  std::string good = ce::saves::Write({{kKey + "Prefs", {9}}});
  WriteText(root_ / "cut", good.substr(0, good.size() - 3));
  WriteText(root_ / "foreign", "GIF89a...");
  fs::create_directories(root_ / "folder");
  for (const char* name : {"cut", "foreign", "folder", "missing"}) {
    error.clear();
    EXPECT_FALSE(ce::saves::ImportFile((root_ / name).string(), &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(Files(), before) << name;
  }
}

TEST_F(SavesFolderTest, FailedWritesAreReported) {
  std::string error;
  // A key's folder that is a file: the registry cannot make the key.
  WriteText(data_ / "registry/HKEY_CURRENT_USER/Software", "in the way");
  EXPECT_FALSE(ce::saves::Replace({{kKey + "Prefs", {1}}}, &error));
  EXPECT_NE(error.find("Prefs"), std::string::npos) << error;
  EXPECT_FALSE(ce::saves::ImportFile(([&] {
                                       WriteText(root_ / "in", ce::saves::Write({{kKey + "Prefs", {1}}}));
                                       return root_ / "in";
                                     }())
                                         .string(),
                                     &error));

  // The export's file: an old file stays whole when the new one cannot be written.
  WriteText(root_ / "old", "old");
  fs::create_directories(root_ / "old.part");
  EXPECT_FALSE(ce::saves::ExportFile((root_ / "old").string(), &error));
  EXPECT_EQ(error, "it cannot be written");
  EXPECT_EQ(FileText(root_ / "old"), "old");
  EXPECT_FALSE(ce::saves::ExportFile((root_ / "old" / "new").string(), &error));
}

// The desktop program's commands: import refused while a copy runs.
TEST_F(SavesFolderTest, CommandLine) {
  std::string error;
  ASSERT_TRUE(ce::saves::Replace(kValues, &error)) << error;
  auto run = [&](const std::string& args) {
    std::string command = std::string(MELVORIA_BINARY) + " " + args + " 2>" + (root_ / "err").string();
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  fs::path file = root_ / "s";
  EXPECT_EQ(run("--export " + file.string()), 0);
  std::vector<Value> sorted = kValues;
  std::sort(sorted.begin(), sorted.end(), [](const Value& a, const Value& b) { return a.path < b.path; });
  EXPECT_TRUE(FileText(file) == ce::saves::Write(sorted));
  WriteText(root_ / "bad", "not saves");
  auto before = Files();
  EXPECT_EQ(run("--import " + (root_ / "bad").string()), 1);
  EXPECT_NE(FileText(root_ / "err").find("not a Melvoria saves file"), std::string::npos);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(run("--import"), 2);
  EXPECT_EQ(run("--frobnicate x"), 2);

  // Another copy holds the data folder.
  ScopedEnv runtime("MELVORIA_RUNTIME_DIR", (root_ / "run").string());
  ASSERT_TRUE(ce::ClaimInstance(ce::host::DataDir(), nullptr));
  EXPECT_EQ(run("--import " + file.string()), 1);
  EXPECT_NE(FileText(root_ / "err").find("close it"), std::string::npos);
  ce::ReleaseInstance();
  EXPECT_EQ(run("--import " + file.string()), 0);
  EXPECT_EQ(Files(), before);
}

}  // namespace
