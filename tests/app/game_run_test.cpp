// The real game run from scripts, as a player would run it: the first screen,
// a game left with "Exit the Game?" and resumed, the program closed by the
// system at any point (every script ends so), settings and hi-scores kept
// across a restart, damaged stores, and a data folder that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/run_program.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace fs = std::filesystem;

namespace {

// A screenshot in BMP, as the script's "shot" writes it.
struct Shot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row by row from the top
  std::uint32_t At(int x, int y) const {
    return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
  }
  bool Valid() const { return width > 0 && height > 0; }
};

Shot ReadBmp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Shot s;
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return s;
  auto u32 = [&](std::size_t o) {
    return std::uint32_t(std::uint8_t(d[o])) | std::uint32_t(std::uint8_t(d[o + 1])) << 8 |
           std::uint32_t(std::uint8_t(d[o + 2])) << 16 | std::uint32_t(std::uint8_t(d[o + 3])) << 24;
  };
  std::uint32_t offset = u32(10);
  auto w = std::int32_t(u32(18)), h = std::int32_t(u32(22));
  int bpp = std::uint8_t(d[28]) | std::uint8_t(d[29]) << 8;
  if (w <= 0 || h == 0 || (bpp != 24 && bpp != 32)) return s;
  bool bottomUp = h > 0;
  int height = bottomUp ? h : -h;
  std::size_t step = std::size_t(bpp / 8), row = (std::size_t(w) * step + 3) / 4 * 4;
  if (d.size() < offset + row * std::size_t(height)) return s;
  s.width = w;
  s.height = height;
  s.pixels.resize(std::size_t(w) * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    std::size_t line = offset + row * std::size_t(bottomUp ? height - 1 - y : y);
    for (int x = 0; x < w; ++x) {
      std::size_t i = line + std::size_t(x) * step;
      s.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
          std::uint32_t(std::uint8_t(d[i + 2])) << 16 | std::uint32_t(std::uint8_t(d[i + 1])) << 8 |
          std::uint8_t(d[i]);
    }
  }
  return s;
}

int R(std::uint32_t p) {
  return int(p >> 16 & 255);
}
int G(std::uint32_t p) {
  return int(p >> 8 & 255);
}
int B(std::uint32_t p) {
  return int(p & 255);
}

// Share of samples in a rectangle that satisfy a colour test.
template <class F>
double Share(const Shot& s, int left, int top, int right, int bottom, F test) {
  int hit = 0, all = 0;
  for (int y = top; y < bottom; y += 4)
    for (int x = left; x < right; x += 4) {
      ++all;
      if (test(s.At(x, y))) ++hit;
    }
  return all ? double(hit) / all : 0;
}
bool Purple(std::uint32_t p) {
  return B(p) >= 60 && R(p) > G(p) + 20 && B(p) > R(p);
}
bool Red(std::uint32_t p) {
  return R(p) >= 170 && G(p) * 2 < R(p) && B(p) * 2 < R(p);
}
bool White(std::uint32_t p) {
  return p == 0xFFFFFFu;
}

// The main menu: its purple over most of the screen and the red close box top right.
bool ShowsMainMenu(const Shot& s) {
  if (!s.Valid()) return false;
  int corner = s.width * 36 / 480;
  return Share(s, 0, 0, s.width, s.height, Purple) > 0.5 &&
         Share(s, s.width - corner, 0, s.width, corner, Red) > 0.1;
}

// Whether a message box is up: a row mostly of the caption's blue.
bool ShowsMessageBox(const Shot& s) {
  for (int y = 0; y < s.height; ++y) {
    int n = 0;
    for (int x = 0; x < s.width; ++x) n += s.At(x, y) == 0x00248Cu;
    if (n > s.width / 2) return true;
  }
  return false;
}

class GameRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("melvoria-run-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    data_ = dir_ / "data";
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path KeyFolder() const {
    return data_ / "registry" / "HKEY_CURRENT_USER" / "Software" / "handsetdev" / "Dunmorrow" / "Melvoria";
  }
  std::string Value(const char* name) const {
    std::ifstream in(KeyFolder() / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void PutValue(const char* name, const void* bytes, std::size_t size) const {
    fs::create_directories(KeyFolder());
    std::ofstream(KeyFolder() / name, std::ios::binary)
        .write(static_cast<const char*>(bytes), std::streamsize(size));
  }

  using Result = program::Result;

  // Runs the game on a script; "$D" in the script stands for the test's folder.
  Result Play(std::string script, const std::string& screen = "480x640") {
    for (std::size_t at; (at = script.find("$D")) != std::string::npos;) script.replace(at, 2, dir_.string());
    fs::path scriptFile = dir_ / "run.script";
    std::ofstream(scriptFile) << script;
    return program::Run(dir_, {{"MELVORIA_SCRIPT", scriptFile.string()}, {"MELVORIA_SCREEN", screen}});
  }

  Shot ShotFile(const char* name) const { return ReadBmp(dir_ / name); }

  // A Hard game left with the exit box, then given one unit of life and 50000
  // points: resumed, it drains out at once and its score makes the table.
  // The bytes of that GameStatus (empty on failure); the store holds the
  // tables as that run left them.
  std::string DyingHardGame(const std::string& screen);

  fs::path dir_, data_;
};

TEST_F(GameRunTest, TheFirstRunShowsTheMainMenuAndASystemCloseKeepsItsSettings) {
  for (const char* screen : {"480x640", "240x320"}) {
    SCOPED_TRACE(screen);
    fs::remove_all(data_);
    Result r = Play("wait 500\nshot $D/menu.bmp\n", screen);
    EXPECT_EQ(r.code, 0) << r.err;
    Shot menu = ShotFile("menu.bmp");
    EXPECT_EQ(std::to_string(menu.width) + "x" + std::to_string(menu.height), screen);
    EXPECT_TRUE(ShowsMainMenu(menu));
    // The run ended as the system ends it: the first run's settings and tables kept, no game.
    const std::string stored = Value("GameStatus");
    ASSERT_EQ(stored.size(), sizeof(GameStatus));
    GameStatus g{};
    std::memcpy(&g, stored.data(), sizeof g);
    EXPECT_EQ(g.initialised, 1);
    EXPECT_EQ(g.volume, 80);
    EXPECT_EQ(g.gameMode, 0);
    const std::string easy = Value("Prefs");
    ASSERT_EQ(easy.size(), sizeof(HiScoreTable));
    HiScoreTable t{};
    std::memcpy(&t, easy.data(), sizeof t);
    EXPECT_EQ(t.entries[0].score, 3245);
  }
}

// A script written for the large screen, its coordinates halved for the small one.
std::string ForScreen(const std::string& script, bool small) {
  if (!small) return script;
  std::istringstream in(script);
  std::ostringstream out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string verb;
    int x = 0, y = 0;
    words >> verb;
    if ((verb == "tap" || verb == "down" || verb == "move" || verb == "up") && (words >> x >> y))
      out << verb << ' ' << x / 2 << ' ' << y / 2 << '\n';
    else
      out << line << '\n';
  }
  return out.str();
}

std::string GameRunTest::DyingHardGame(const std::string& screen) {
  Result made =
      Play(ForScreen("wait 500\ntap 240 389\nwait 500\ntap 405 513\nwait 3000\ntap 395 40\nkey enter\n",
                     screen[0] == '2'),
           screen);
  EXPECT_EQ(made.code, 0) << made.err;
  std::string bytes = Value("GameStatus");
  if (bytes.size() != sizeof(GameStatus)) return {};
  GameStatus g{};
  std::memcpy(&g, bytes.data(), sizeof g);
  EXPECT_EQ(g.gameMode, 2);
  g.score = 50000;
  g.pendingPoints = 0;
  g.life = 1;
  g.lifeGain = 0;
  g.lifeLoss = 0;
  return std::string(reinterpret_cast<const char*>(&g), sizeof g);
}

TEST_F(GameRunTest, AGameLeftWithExitComesBackExactlyAtTheNextStart) {
  for (const char* screen : {"480x640", "240x320"}) {
    SCOPED_TRACE(screen);
    const bool small = screen[0] == '2';
    fs::remove_all(data_);
    // Easy, the Help popup's OK, a few moves, then the exit box answered Yes.
    // No time passes between the last shot and the answer, so the shot is the stored game.
    Result first =
        Play(ForScreen("wait 500\ntap 240 333\nwait 500\ntap 405 513\nwait 3000\n"
                       "tap 70 160\nwait 400\ntap 240 470\nwait 400\ndown 320 300\nmove 320 360\n"
                       "move 320 400\nup 320 400\nwait 3000\nshot $D/left.bmp\ntap 395 40\nkey enter\n",
                       small),
             screen);
    ASSERT_EQ(first.code, 0) << first.err;
    std::string stored = Value("GameStatus");
    ASSERT_EQ(stored.size(), sizeof(GameStatus));
    GameStatus g{};
    std::memcpy(&g, stored.data(), sizeof g);
    EXPECT_EQ(g.gameMode, 1);
    EXPECT_EQ(g.initialised, 1);

    // The next start: the play screen of that game at once, without the Help popup.
    Result second = Play("shot $D/back.bmp\nwait 2000\nshot $D/later.bmp\n", screen);
    ASSERT_EQ(second.code, 0) << second.err;
    Shot left = ShotFile("left.bmp"), back = ShotFile("back.bmp");
    ASSERT_TRUE(left.Valid() && back.Valid());
    ASSERT_EQ(left.pixels.size(), back.pixels.size());
    int differing = 0;
    for (std::size_t i = 0; i < left.pixels.size(); ++i) differing += left.pixels[i] != back.pixels[i];
    EXPECT_EQ(differing, 0) << "pixels differing between the game left and the game resumed";
    EXPECT_FALSE(ShowsMainMenu(ShotFile("later.bmp")));
    // The system's close stores the game again, still to be resumed.
    const std::string again = Value("GameStatus");
    ASSERT_EQ(again.size(), sizeof(GameStatus));
    std::memcpy(&g, again.data(), sizeof g);
    EXPECT_EQ(g.gameMode, 1);
  }
}

// The exit and abandon boxes keep the game ticking behind them. A game that ends
// before the answer has gone on to its GAME OVER and the name entry: the late
// answer changes nothing, and nothing is stored.
TEST_F(GameRunTest, AnAnswerAfterTheGameEndedChangesNothing) {
  struct Case {
    const char* name;
    const char* box;  // a tap on the exit or the abandon box
    int openAt;       // ms after the resumed start
    int answerAfter;  // ms after the box opened
  };
  const Case cases[] = {
      {"exit, the game ends under the question", "tap 395 40", 0, 3000},
      {"abandon, the game ends under the question", "tap 431 40", 0, 3000},
      {"exit opened and answered on GAME OVER", "tap 395 40", 400, 0},
      {"abandon opened and answered on GAME OVER", "tap 431 40", 400, 0},
  };
  for (const char* screen : {"480x640", "240x320"}) {
    SCOPED_TRACE(screen);
    const bool small = screen[0] == '2';
    fs::remove_all(data_);
    const std::string dying = DyingHardGame(screen);
    ASSERT_FALSE(dying.empty());
    // Each run ends at the name entry, whose close enters the score: the
    // tables are put back before the next.
    const std::string hard = Value("PrefsHard");

    // Without a box: the name entry 3 s later.
    PutValue("GameStatus", dying.data(), dying.size());
    Result plain = Play("wait 3400\nshot $D/plain.bmp\n", screen);
    ASSERT_EQ(plain.code, 0) << plain.err;
    const Shot expected = ShotFile("plain.bmp");
    ASSERT_TRUE(expected.Valid());

    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      PutValue("GameStatus", dying.data(), dying.size());
      PutValue("PrefsHard", hard.data(), hard.size());
      const std::string script = "wait " + std::to_string(c.openAt) + "\n" + c.box + "\nwait " +
                                 std::to_string(c.answerAfter) + "\nkey enter\nwait " +
                                 std::to_string(3400 - c.openAt - c.answerAfter) + "\nshot $D/late.bmp\n";
      Result r = Play(ForScreen(script, small), screen);
      ASSERT_EQ(r.code, 0) << r.err;
      // The finished game was not stored as a game to resume.
      const std::string after = Value("GameStatus");
      GameStatus stored{};
      std::memcpy(&stored, after.data(), std::min(after.size(), sizeof stored));
      EXPECT_EQ(stored.gameMode, 0) << "stored as a game: life " << stored.life;
      const Shot late = ShotFile("late.bmp");
      ASSERT_TRUE(late.Valid());
      ASSERT_EQ(late.pixels.size(), expected.pixels.size());
      int differing = 0;
      for (std::size_t i = 0; i < late.pixels.size(); ++i) differing += late.pixels[i] != expected.pixels[i];
      EXPECT_EQ(differing, 0) << "pixels differing from the game that ended without a box";
    }
  }
}

// The program closed by the system (a script's end, as the desktop window's
// close button or a session's end) keeps what the player did: the settings, a
// running game exactly, a score at the name entry; never a finished game.
TEST_F(GameRunTest, ClosingTheProgramAnywhereKeepsWhatThePlayerDid) {
  const std::string backspaces = [] {
    std::string keys;
    for (int i = 0; i < 11; ++i) keys += "key backspace\n";
    return keys;
  }();
  const std::string easyGame =
      "wait 500\ntap 240 333\nwait 500\ntap 405 513\nwait 3000\ntap 70 160\nwait 400\ntap 240 470\n"
      "wait 400\ndown 320 300\nmove 320 360\nmove 320 400\nup 320 400\nwait 3000\n";
  const std::string settingsChange = "wait 500\ntap 240 560\nwait 300\ntap 48 124\n";
  struct Case {
    const char* name;
    bool dying;  // from a stored Hard game about to end with 50000 points, else a first run
    std::string script;
    std::int32_t gameMode;      // stored
    std::int32_t joystick;      // stored joystickControl
    const char16_t* hardFirst;  // the Hard table's first name
    bool resumedExactly;        // the next start shows left.bmp
    bool nextShowsMenu;
  };
  const Case cases[] = {
      {"on the settings page after a change", false, settingsChange, 0, 1, u"Varon", false, true},
      {"on the main menu after a settings change", false, settingsChange + "wait 100\ntap 452 24\nwait 300\n",
       0, 1, u"Varon", false, true},
      {"in a running game", false, easyGame + "shot $D/left.bmp\n", 1, 0, u"Varon", true, false},
      {"while \"Exit the Game?\" is asked", false, easyGame + "tap 395 40\n", 1, 0, u"Varon", false, false},
      {"during the game-over sequence", true, "wait 500\n", 0, 0, u"Varon", false, true},
      {"at the name entry, a name typed", true, "wait 1200\n" + backspaces + "type Zed\n", 0, 0, u"Zed",
       false, true},
      {"at the name entry, the name offered", true, "wait 1200\n", 0, 0, u"Tamberu", false, true},
      {"at the name entry, the box emptied", true, "wait 1200\n" + backspaces, 0, 0, u"Tamberu", false, true},
  };
  fs::remove_all(data_);
  const std::string dying = DyingHardGame("480x640");
  ASSERT_FALSE(dying.empty());
  const std::string tables[3] = {Value("Prefs"), Value("PrefsHard"), Value("PrefsMelvoria")};
  const char* tableNames[3] = {"Prefs", "PrefsHard", "PrefsMelvoria"};

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(data_);
    if (c.dying) {
      PutValue("GameStatus", dying.data(), dying.size());
      for (int t = 0; t < 3; ++t) PutValue(tableNames[t], tables[t].data(), tables[t].size());
    }
    Result r = Play(c.script);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string status = Value("GameStatus");
    ASSERT_EQ(status.size(), sizeof(GameStatus));
    GameStatus g{};
    std::memcpy(&g, status.data(), sizeof g);
    EXPECT_EQ(g.gameMode, c.gameMode);
    EXPECT_EQ(g.joystickControl, c.joystick);
    const std::string hard = Value("PrefsHard");
    ASSERT_EQ(hard.size(), sizeof(HiScoreTable));
    HiScoreTable t{};
    std::memcpy(&t, hard.data(), sizeof t);
    EXPECT_EQ(EntryName(t.entries[0]), c.hardFirst);
    if (c.hardFirst != std::u16string_view(u"Varon")) {
      EXPECT_EQ(t.entries[0].score, 50000);
    }

    Result next = Play("shot $D/back.bmp\nwait 300\nshot $D/next.bmp\n");
    ASSERT_EQ(next.code, 0) << next.err;
    EXPECT_EQ(ShowsMainMenu(ShotFile("next.bmp")), c.nextShowsMenu);
    if (c.resumedExactly) {
      const Shot left = ShotFile("left.bmp"), back = ShotFile("back.bmp");
      ASSERT_TRUE(left.Valid() && back.Valid());
      EXPECT_TRUE(left.pixels == back.pixels) << "the resumed game differs from the one the close stored";
    }
  }
}

TEST_F(GameRunTest, SettingsAndHiScoresSurviveARestart) {
  // A store from an earlier run: help on, hard keys off, and an Easy table of its own.
  GameStatus g{};
  g.initialised = 1;
  g.volume = 80;
  g.helpEnabled = 1;
  g.soundOn = 1;
  g.gameSpeed = 1;
  PutValue("GameStatus", &g, sizeof g);
  HiScoreTable easy{};
  const char16_t* names[] = {u"Aldo", u"Brin", u"Cato", u"Dara", u"Edda"};
  for (int i = 0; i < 5; ++i) {
    std::memcpy(easy.entries[i].name, names[i], 8);
    easy.entries[i].score = 9000 - 1000 * i;
  }
  easy.lastEntry = 2;
  PutValue("Prefs", &easy, sizeof easy);

  // Options: hard keys on, the volume slider to 30, back, and the menu's close box.
  Result first = Play(
      "wait 500\ntap 240 560\nwait 300\ntap 48 124\ntap 184 480\nwait 100\ntap 452 24\nwait 300\n"
      "tap 460 16\n");
  ASSERT_EQ(first.code, 0) << first.err;
  std::string stored = Value("GameStatus");
  ASSERT_EQ(stored.size(), sizeof(GameStatus));
  std::memcpy(&g, stored.data(), sizeof g);
  EXPECT_EQ(g.joystickControl, 1);
  EXPECT_EQ(g.volume, 30);
  EXPECT_EQ(g.helpEnabled, 1);
  EXPECT_EQ(Value("Prefs"), std::string(reinterpret_cast<const char*>(&easy), sizeof easy));
  EXPECT_EQ(Value("PrefsHard").size(), sizeof(HiScoreTable));

  // The hard keys work at the next start: down and action pick Easy, and help comes first.
  Result second = Play("wait 300\nkey down\nkey enter\nwait 500\nshot $D/help.bmp\n");
  ASSERT_EQ(second.code, 0) << second.err;
  Shot help = ShotFile("help.bmp");
  ASSERT_TRUE(help.Valid());
  EXPECT_GT(Share(help, 20, 260, 460, 400, White), 0.6) << "no Help popup over the menu";
}

TEST_F(GameRunTest, DamagedStoresDoNotCrashTheGame) {
  std::mt19937 random(1324);
  auto noise = [&](void* p, std::size_t n) {
    auto* b = static_cast<std::uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(random());
  };
  struct Case {
    const char* name;
    std::int32_t mode;       // gameMode written over the noise; -2: leave the noise
    std::size_t statusSize;  // bytes of GameStatus stored
    bool noisyTables;
  };
  const Case cases[] = {
      {"a stored Easy game of noise", 1, sizeof(GameStatus), false},
      {"a stored Hard game of noise", 2, sizeof(GameStatus), true},
      {"a stored Melvoria game of noise", 3, sizeof(GameStatus), true},
      {"noise throughout", -2, sizeof(GameStatus), true},
      {"a record cut after the game mode", 2, 52, false},
      {"empty values", -2, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(data_);
    GameStatus g{};
    noise(&g, sizeof g);
    if (c.mode != -2) {
      g.initialised = 1;
      g.gameMode = c.mode;
    }
    PutValue("GameStatus", &g, c.statusSize);
    for (const char* table : {"Prefs", "PrefsHard", "PrefsMelvoria"}) {
      HiScoreTable t{};
      if (c.noisyTables) noise(&t, sizeof t);
      PutValue(table, &t, c.statusSize == 0 ? 0 : sizeof t);
    }
    // Look, tap around the board and the buttons, let it run, look again.
    Result r = Play(
        "wait 1000\nshot $D/a.bmp\ntap 240 470\ntap 100 160\ndown 200 250\nmove 200 330\nup 200 330\n"
        "tap 380 560\ntap 120 560\ntap 240 560\nwait 5000\ntap 240 400\nwait 1000\nshot $D/b.bmp\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_TRUE(ShotFile("a.bmp").Valid());
    EXPECT_TRUE(ShotFile("b.bmp").Valid());
  }
}

TEST_F(GameRunTest, AnUnwritableDataFolderIsReportedAndTheGameStillRuns) {
  // The data folder is a file: the store's key cannot be made.
  std::ofstream(data_) << "in the way";
  Result r = Play(
      "wait 100\nshot $D/box.bmp\nkey enter\nwait 500\nshot $D/menu.bmp\n"
      "tap 240 560\nwait 300\nshot $D/options.bmp\ntap 452 24\nwait 300\n"
      "tap 460 16\nwait 100\nshot $D/box2.bmp\nkey enter\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(ShowsMessageBox(ShotFile("box.bmp"))) << "no \"Cannot read values\" at start";
  EXPECT_TRUE(ShowsMainMenu(ShotFile("menu.bmp")));
  EXPECT_FALSE(ShowsMainMenu(ShotFile("options.bmp")));
  EXPECT_TRUE(ShowsMessageBox(ShotFile("box2.bmp"))) << "no word that the close box could not save";
  // The settings page's store and the close box's, said on stderr too.
  EXPECT_NE(r.err.find("melvoria: the game could not be saved: the data folder cannot be made"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::is_regular_file(data_));
}

}  // namespace
