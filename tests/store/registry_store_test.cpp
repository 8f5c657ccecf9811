// The registry store: first-run defaults, the first screen, byte-for-byte
// round trips, damaged values, a key that cannot be opened, writes that fail
// (a full disk, a folder that cannot be written), a store that can be read but
// not written, and two writers at once.
#include "store/registry_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "device/world.h"
#include "game/state.h"
#include "platform/device.h"
#include "platform/host.h"
#include "render/scale.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace fs = std::filesystem;

namespace {

// Message boxes seen while a store call runs: a watcher window, reached by a
// message posted before the call, reads the box that is up and answers it.
struct BoxLog {
  std::vector<std::u16string> texts;
  std::vector<std::u16string> captions;
};
BoxLog boxes;

ce::LRESULT WatcherProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  if (message == ce::WM_USER) {
    if (ce::HWND box = ce::host::CurrentMessageBox()) {
      char16_t text[256] = {};
      ce::GetWindowTextW(box, text, 256);
      boxes.texts.push_back(text);
      boxes.captions.push_back(box->title);
      ce::host::KeyDown(ce::VK_RETURN);
      ce::host::KeyUp(ce::VK_RETURN);
    }
    return 0;
  }
  return ce::DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::uint8_t> Bytes(const void* p, std::size_t n) {
  auto* b = static_cast<const std::uint8_t*>(p);
  return {b, b + n};
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-store-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    if (const char* old = std::getenv("MELVORIA_DATA_DIR")) oldData_ = old;
    ::setenv("MELVORIA_DATA_DIR", (root_ / "data").c_str(), 1);
    ce::host::Start(ce::host::Options{});
    gameStatus = GameStatus{};
    for (HiScoreTable& t : hiScoreTables) t = HiScoreTable{};
    shell = Shell{};
    engine = EngineState{};
    display = Display{};
    boxes = BoxLog{};
    ce::WNDCLASSW wc{};
    wc.lpfnWndProc = WatcherProc;
    wc.lpszClassName = u"Watcher";
    ce::RegisterClassW(&wc);
    watcher_ = ce::CreateWindowExW(0, u"Watcher", u"", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
  }
  void TearDown() override {
    for (const fs::path& m : mounts_) ::umount2(m.c_str(), MNT_DETACH);
    std::error_code ec;
    fs::permissions(KeyFolder(), fs::perms::owner_all, ec);
    ce::host::Stop();
    if (oldData_.empty())
      ::unsetenv("MELVORIA_DATA_DIR");
    else
      ::setenv("MELVORIA_DATA_DIR", oldData_.c_str(), 1);
    fs::remove_all(root_);
  }

  void Load() {
    ce::PostMessageW(watcher_, ce::WM_USER, 0, 0);
    LoadStore();
    ce::host::PumpMessages();
  }
  void Save() {
    ce::PostMessageW(watcher_, ce::WM_USER, 0, 0);
    SaveStore();
    ce::host::PumpMessages();
  }

  // A stored value as another program (or a damaged disk) left it.
  static void Put(const char16_t* name, const std::vector<std::uint8_t>& bytes) {
    ce::HKEY key = nullptr;
    ASSERT_EQ(ce::RegCreateKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, nullptr, 0, ce::KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
              ce::ERROR_SUCCESS);
    ce::RegSetValueExW(key, name, 0, ce::REG_BINARY, bytes.data(), ce::DWORD(bytes.size()));
    ce::RegCloseKey(key);
  }
  // The stored bytes of a value; false when it is absent.
  static bool Get(const char16_t* name, std::vector<std::uint8_t>* bytes) {
    ce::HKEY key = nullptr;
    if (ce::RegOpenKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, ce::KEY_ALL_ACCESS, &key) != ce::ERROR_SUCCESS)
      return false;
    ce::DWORD size = 0;
    bool found = ce::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ce::ERROR_SUCCESS;
    if (found) {
      bytes->assign(size, 0);
      ce::RegQueryValueExW(key, name, nullptr, nullptr, bytes->data(), &size);
    }
    ce::RegCloseKey(key);
    return found;
  }

  static std::vector<std::uint8_t> Record(std::int32_t mode, std::int32_t volume) {
    GameStatus g{};
    g.initialised = 1;
    g.volume = volume;
    g.helpEnabled = 0;
    g.soundOn = 1;
    g.gameSpeed = 3;
    g.gameMode = mode;
    g.score = 4321;
    g.life = 12;
    return Bytes(&g, sizeof g);
  }

  static std::vector<std::uint8_t> Table(const char16_t* name, std::int32_t score) {
    HiScoreTable t{};
    for (HiScoreEntry& e : t.entries) {
      std::memcpy(e.name, name, std::char_traits<char16_t>::length(name) * 2);
      e.score = score;
    }
    t.lastEntry = 1;
    return Bytes(&t, sizeof t);
  }

  fs::path KeyFolder() const {
    return root_ / "data/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria";
  }

  // Files in the key's folder whose names are not the four values': a
  // temporary file left behind would be one.
  std::vector<std::string> Strays() const {
    std::vector<std::string> strays;
    for (const auto& entry : fs::directory_iterator(KeyFolder())) {
      const std::string name = entry.path().filename();
      if (name != "Prefs" && name != "GameStatus" && name != "PrefsHard" && name != "PrefsMelvoria")
        strays.push_back(name);
    }
    return strays;
  }

  // The data folder on a 64 KiB file system of its own (root only).
  bool MountTinyDataFolder() {
    fs::create_directories(root_ / "data");
    if (::geteuid() != 0 || ::mount("tmpfs", (root_ / "data").c_str(), "tmpfs", 0, "size=64k") != 0)
      return false;
    mounts_.push_back(root_ / "data");
    return true;
  }
  // Fills the data folder's file system to the last byte.
  void FillDisk() {
    std::FILE* f = std::fopen((root_ / "data" / "filler").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
    }
    std::fclose(f);
    std::FILE* g = std::fopen((root_ / "data" / "filler2").c_str(), "wb");
    if (g) {
      while (std::fputc('x', g) != EOF && std::fflush(g) == 0) {
      }
      std::fclose(g);
    }
  }
  // The key's folder made read-only: a read-only bind mount for root, which
  // ignores permission bits; the bits for anyone else.
  bool MakeKeyReadOnly() {
    if (::geteuid() != 0) {
      fs::permissions(KeyFolder(), fs::perms::owner_read | fs::perms::owner_exec);
      return true;
    }
    const std::string key = KeyFolder().string();
    if (::mount(key.c_str(), key.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounts_.push_back(KeyFolder());
    return ::mount(nullptr, key.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }

  // The four values as this run's images would write them.
  void PutCurrentImages() {
    Put(u"Prefs", Bytes(&hiScoreTables[0], sizeof(HiScoreTable)));
    Put(u"GameStatus", Bytes(&gameStatus, sizeof gameStatus));
    Put(u"PrefsHard", Bytes(&hiScoreTables[1], sizeof(HiScoreTable)));
    Put(u"PrefsMelvoria", Bytes(&hiScoreTables[2], sizeof(HiScoreTable)));
  }
  std::vector<std::vector<std::uint8_t>> StoredValues() {
    std::vector<std::vector<std::uint8_t>> all;
    for (const char16_t* name : {u"Prefs", u"GameStatus", u"PrefsHard", u"PrefsMelvoria"}) {
      std::vector<std::uint8_t> bytes;
      Get(name, &bytes);
      all.push_back(bytes);
    }
    return all;
  }

  fs::path root_;
  std::string oldData_;
  ce::HWND watcher_ = nullptr;
  std::vector<fs::path> mounts_;
};

TEST_F(RegistryStoreTest, FirstRunBringsTheDefaultsAndWritesNothing) {
  shell.BackgroundReady = 1;
  Load();
  EXPECT_EQ(gameStatus.initialised, 1);
  EXPECT_EQ(gameStatus.volume, 80);
  EXPECT_EQ(gameStatus.helpEnabled, 1);
  EXPECT_EQ(gameStatus.joystickControl, 0);
  EXPECT_EQ(gameStatus.soundOn, 1);
  EXPECT_EQ(gameStatus.gameSpeed, 1);
  EXPECT_EQ(gameStatus.gameMode, 0);
  EXPECT_EQ(ce::host::WaveOutputVolume() & 0xFFFF, 0xCCCCu);
  EXPECT_EQ(EntryName(hiScoreTables[0].entries[0]), u"Ysolt");
  EXPECT_EQ(hiScoreTables[0].entries[0].score, 3245);
  EXPECT_EQ(EntryName(hiScoreTables[2].entries[4]), u"Ilvana");
  for (const HiScoreTable& t : hiScoreTables) EXPECT_EQ(t.lastEntry, 4);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(shell.BackgroundReady, 0);
  EXPECT_EQ(engine.resumePending, 0);
  EXPECT_TRUE(boxes.texts.empty());
  std::vector<std::uint8_t> bytes;
  for (const char16_t* name : {u"Prefs", u"GameStatus", u"PrefsHard", u"PrefsMelvoria"})
    EXPECT_FALSE(Get(name, &bytes)) << "written at start-up";
}

TEST_F(RegistryStoreTest, TheStoredGameModeChoosesTheFirstScreen) {
  struct Case {
    std::int32_t mode;
    bool resumed;
  };
  for (Case c : {Case{0, false}, Case{1, true}, Case{2, true}, Case{3, true}, Case{4, false}, Case{-1, false},
                 Case{10, false}}) {
    SCOPED_TRACE(c.mode);
    gameStatus = GameStatus{};
    shell = Shell{};
    engine = EngineState{};
    Put(u"GameStatus", Record(c.mode, 55));
    Load();
    EXPECT_EQ(shell.ScreenState, c.resumed ? Play : MainMenu);
    EXPECT_EQ(engine.resumePending, c.resumed ? 1 : 0);
    EXPECT_EQ(engine.gamePhase, c.resumed ? Running : NotStarted);
    // A stored record is not a first run, whatever its mode.
    EXPECT_EQ(gameStatus.volume, 55);
    EXPECT_EQ(gameStatus.gameSpeed, 3);
  }
}

TEST_F(RegistryStoreTest, SaveAndLoadKeepEveryByte) {
  // Every byte differs from its neighbours, padding and unused bytes included.
  auto* raw = reinterpret_cast<std::uint8_t*>(&gameStatus);
  for (std::size_t i = 0; i < sizeof gameStatus; ++i) raw[i] = std::uint8_t(i * 13 + 7);
  gameStatus.initialised = 1;
  gameStatus.gameMode = Hard;
  for (int t = 0; t < 3; ++t) {
    auto* table = reinterpret_cast<std::uint8_t*>(&hiScoreTables[t]);
    for (std::size_t i = 0; i < sizeof(HiScoreTable); ++i) table[i] = std::uint8_t(i * 5 + t);
    hiScoreTables[t].lastEntry = t;
  }
  const auto status = Bytes(&gameStatus, sizeof gameStatus);
  const auto tables = Bytes(hiScoreTables, sizeof hiScoreTables);
  Save();
  EXPECT_TRUE(boxes.texts.empty());

  std::vector<std::uint8_t> stored;
  ASSERT_TRUE(Get(u"GameStatus", &stored));
  EXPECT_EQ(stored, status);
  const char16_t* names[] = {u"Prefs", u"PrefsHard", u"PrefsMelvoria"};
  for (int t = 0; t < 3; ++t) {
    ASSERT_TRUE(Get(names[t], &stored));
    EXPECT_EQ(stored, Bytes(&hiScoreTables[t], sizeof(HiScoreTable))) << "table " << t + 1;
  }

  // The next run.
  gameStatus = GameStatus{};
  for (HiScoreTable& t : hiScoreTables) t = HiScoreTable{};
  Load();
  EXPECT_EQ(Bytes(&gameStatus, sizeof gameStatus), status);
  EXPECT_EQ(Bytes(hiScoreTables, sizeof hiScoreTables), tables);
  EXPECT_EQ(shell.ScreenState, Play);
}

TEST_F(RegistryStoreTest, TablesWithoutAGameStatusAreReplacedByTheDefaults) {
  Put(u"Prefs", Table(u"Stored", 99999));
  Load();
  EXPECT_EQ(EntryName(hiScoreTables[0].entries[0]), u"Ysolt");
  EXPECT_EQ(hiScoreTables[0].lastEntry, 4);
  EXPECT_EQ(gameStatus.volume, 80);
}

TEST_F(RegistryStoreTest, DamagedValuesAreNeitherResumedNorUsedPastTheirRoom) {
  // Cut off after the settings: they count, the game in it does not.
  auto cut = Record(Easy, 30);
  cut.resize(100);
  Put(u"GameStatus", cut);
  Put(u"PrefsHard", Table(u"Kept", 5000));
  auto damaged = Table(u"Odd", 7);
  damaged[140] = 0x7F;  // lastEntry far outside 0..4
  Put(u"PrefsMelvoria", damaged);
  Load();
  EXPECT_EQ(gameStatus.volume, 30);
  EXPECT_EQ(gameStatus.gameMode, 0);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(engine.resumePending, 0);
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[0]), u"Kept");
  EXPECT_EQ(hiScoreTables[2].lastEntry, 4);
}

TEST_F(RegistryStoreTest, AValueLongerThanItsRecordIsLeftOut) {
  // Made at its length and filled: growing the record's vector makes GCC 12 at -O3 warn of a
  // copy past its end (-Warray-bounds) that does not happen.
  auto record = Record(Melvoria, 10);
  std::vector<std::uint8_t> longer(record.size() + 8, 0xEE);
  std::copy(record.begin(), record.end(), longer.begin());
  Put(u"GameStatus", longer);
  auto longTable = Table(u"Long", 1);
  longTable.push_back(0);
  Put(u"PrefsHard", longTable);
  Load();
  // As if absent: a first run.
  EXPECT_EQ(gameStatus.volume, 80);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[0]), u"Varon");
}

TEST_F(RegistryStoreTest, AKeyThatCannotBeOpenedIsReportedAndTheGameGoesOn) {
  // The data folder is a file: no key can be made under it.
  std::ofstream(root_ / "data") << "not a folder";
  Load();
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], u"Cannot read values");
  EXPECT_EQ(gameStatus.volume, 80);
  EXPECT_EQ(shell.ScreenState, MainMenu);

  // Saving says what went wrong, not that something could not be read.
  gameStatus.volume = 20;
  Save();
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[1],
            u"The game could not be saved: the data folder cannot be made (a file stands in its way).");
  EXPECT_TRUE(fs::is_regular_file(root_ / "data"));
}

// A save point whose write fails says why, in a box and on stderr, and leaves
// every value as it was, with no temporary file behind.
TEST_F(RegistryStoreTest, AFailedSaveIsToldAndKeepsWhatWasStored) {
  struct Case {
    const char* name;
    const char16_t* reason;
    bool fullDisk;  // else the key's folder is read-only
  };
  const Case cases[] = {
      {"a full disk", u"the disk is full.", true},
      {"a folder that cannot be written", u"the data folder cannot be written.", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.fullDisk && !MountTinyDataFolder()) {
      std::cout << "skipped " << c.name << ": no small file system can be mounted (not root)\n";
      continue;
    }
    for (HiScoreTable& t : hiScoreTables) t = HiScoreTable{};
    gameStatus = GameStatus{};
    gameStatus.initialised = 1;
    gameStatus.volume = 40;
    ResetHiScores();
    PutCurrentImages();
    const auto before = StoredValues();
    if (c.fullDisk)
      FillDisk();
    else
      ASSERT_TRUE(MakeKeyReadOnly());

    gameStatus.volume = 90;
    gameStatus.gameMode = Hard;
    hiScoreTables[0].entries[0].score = 99999;
    boxes = BoxLog{};
    ::testing::internal::CaptureStderr();
    ce::PostMessageW(watcher_, ce::WM_USER, 0, 0);
    const bool saved = SaveStore();
    ce::host::PumpMessages();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(saved);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], u"The game could not be saved: " + std::u16string(c.reason));
    EXPECT_NE(err.find("melvoria: the game could not be saved: "), std::string::npos) << err;
    EXPECT_EQ(StoredValues(), before);
    EXPECT_TRUE(Strays().empty()) << Strays()[0];
    EXPECT_EQ(WriteStore(), c.fullDisk ? ce::ERROR_DISK_FULL : ce::ERROR_ACCESS_DENIED);

    for (const fs::path& m : mounts_) ::umount2(m.c_str(), MNT_DETACH);
    mounts_.clear();
    std::error_code ec;
    fs::permissions(KeyFolder(), fs::perms::owner_all, ec);
    fs::remove_all(root_ / "data");
  }
}

// A stored game on a disk that can be read but not written comes back; the
// player is told once, at start, that nothing will be saved.
TEST_F(RegistryStoreTest, AStoreThatCanBeReadButNotWrittenIsResumedAndToldOnce) {
  Put(u"GameStatus", Record(Hard, 55));
  Put(u"PrefsHard", Table(u"Kept", 5000));
  ASSERT_TRUE(MakeKeyReadOnly());
  ::testing::internal::CaptureStderr();
  Load();
  std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], u"The saved game can be read but not written: nothing will be saved.");
  EXPECT_NE(err.find("nothing will be saved"), std::string::npos) << err;
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(gameStatus.gameMode, Hard);
  EXPECT_EQ(gameStatus.score, 4321);
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[0]), u"Kept");

  // Leaving: no second box, a line on stderr, the stored game as it was.
  ::testing::internal::CaptureStderr();
  Save();
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(err.find("could not be saved: the data folder cannot be written."), std::string::npos) << err;
  std::vector<std::uint8_t> stored;
  ASSERT_TRUE(Get(u"GameStatus", &stored));
  EXPECT_EQ(stored, Record(Hard, 55));
}

// Two writers at once (another copy on the same folder despite the lock, a
// copy made while saving): every value is whole, one writer's or the other's.
TEST_F(RegistryStoreTest, TwoWritersAtOnceLeaveEachValueWhole) {
  auto fill = [](std::uint8_t b) {
    std::memset(&gameStatus, b, sizeof gameStatus);
    for (HiScoreTable& t : hiScoreTables) std::memset(&t, b, sizeof t);
  };
  fill(0x11);
  ASSERT_EQ(WriteStore(), ce::ERROR_SUCCESS);
  pid_t other = ::fork();
  if (other == 0) {
    fill(0xAA);
    for (int i = 0; i < 100; ++i)
      if (WriteStore() != ce::ERROR_SUCCESS) ::_exit(1);
    ::_exit(0);
  }
  fill(0x55);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(WriteStore(), ce::ERROR_SUCCESS);
  int status = 0;
  ::waitpid(other, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other writer failed";
  for (const auto& value : StoredValues()) {
    ASSERT_FALSE(value.empty());
    const bool whole = std::all_of(value.begin(), value.end(), [&](std::uint8_t b) { return b == value[0]; });
    EXPECT_TRUE(whole && (value[0] == 0xAA || value[0] == 0x55));
  }
  EXPECT_TRUE(Strays().empty());
}

}  // namespace
