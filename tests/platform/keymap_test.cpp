// The `keys` file: rebinds that work, lines that cannot be used reported with
// their numbers and left out, the defaults without a file.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "input/input.h"
#include "scoped_env.h"
#include "session/session.h"

using namespace ce;
namespace fs = std::filesystem;

namespace {

// What a keyboard key gives: a hard key, nothing (0), or -1 when the map
// leaves it to the desktop (letters type, Backspace deletes).
long Gives(const KeyMap& map, SDL_Keycode k) {
  UINT vk = 0;
  return MappedKey(map, k, &vk) ? long(vk) : -1;
}

struct Expect {
  SDL_Keycode key;  // 0: the pad button below
  SDL_GameControllerButton button;
  long gives;
};

TEST(KeyMapTest, RebindsAndDefaults) {
  struct Case {
    const char* file;
    std::vector<Expect> expect;
  };
  const auto B = SDL_CONTROLLER_BUTTON_INVALID;
  const Case cases[] = {
      // No lines: the arrows, the keypad, Return, Escape; D-pad, A, Start, B;
      // Back and Guide nothing.
      {"",
       {{SDLK_UP, B, VK_UP},
        {SDLK_KP_2, B, VK_DOWN},
        {SDLK_KP_5, B, VK_RETURN},
        {SDLK_ESCAPE, B, VK_ESCAPE},
        {SDLK_w, B, -1},
        {0, SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT},
        {0, SDL_CONTROLLER_BUTTON_A, VK_RETURN},
        {0, SDL_CONTROLLER_BUTTON_START, VK_RETURN},
        {0, SDL_CONTROLLER_BUTTON_B, VK_ESCAPE},
        {0, SDL_CONTROLLER_BUTTON_BACK, 0},
        {0, SDL_CONTROLLER_BUTTON_GUIDE, 0}}},
      // WASD besides the arrows; names in any case, blanks and comments.
      {"# WASD\nup W\n  down   s  \r\nLEFT a\nright D\n",
       {{SDLK_w, B, VK_UP},
        {SDLK_s, B, VK_DOWN},
        {SDLK_a, B, VK_LEFT},
        {SDLK_d, B, VK_RIGHT},
        {SDLK_UP, B, VK_UP}}},
      // A key moves from one hard key to another, or to none; names with blanks.
      {"down Up\nnone Keypad 8\nenter Space\nescape Enter\nenter Right Shift\n",
       {{SDLK_UP, B, VK_DOWN},
        {SDLK_KP_8, B, 0},
        {SDLK_SPACE, B, VK_RETURN},
        {SDLK_RETURN, B, VK_ESCAPE},
        {SDLK_RSHIFT, B, VK_RETURN},
        {SDLK_DOWN, B, VK_DOWN}}},
      // Pad buttons: X spins, Start does nothing, the shoulders turn, Back answers No.
      {"enter pad x\nnone pad start\nleft pad leftshoulder\nright PAD RightShoulder\nescape pad back\n",
       {{0, SDL_CONTROLLER_BUTTON_X, VK_RETURN},
        {0, SDL_CONTROLLER_BUTTON_START, 0},
        {0, SDL_CONTROLLER_BUTTON_A, VK_RETURN},
        {0, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, VK_LEFT},
        {0, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, VK_RIGHT},
        {0, SDL_CONTROLLER_BUTTON_BACK, VK_ESCAPE}}},
      // The later line wins.
      {"up W\ndown W\n", {{SDLK_w, B, VK_DOWN}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> problems;
    KeyMap map = ParseKeyMap(c.file, &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    for (const Expect& e : c.expect) {
      if (e.key)
        EXPECT_EQ(Gives(map, e.key), e.gives) << SDL_GetKeyName(e.key);
      else
        EXPECT_EQ(long(map.pad[e.button]), e.gives) << SDL_GameControllerGetStringForButton(e.button);
    }
  }
}

TEST(KeyMapTest, LinesThatCannotBeUsedAreReportedByNumberAndLeftOut) {
  using namespace std::string_literals;  // a line holding a NUL
  const std::string file =
      "up W\n"                  // 1: fine
      "jump Space\n"            // 2: no such hard key
      "down\n"                  // 3: no key
      "left Hyperdrive\n"       // 4: no such key
      "right pad z\n"           // 5: no such button
      "enter F11\n"             // 6: the window's own
      "\n"                      // 7
      "# none Up\n"             // 8: a comment
      "escape pad\n"            // 9: a key named "pad"? none
      "\x01\xff\xfe garbage\n"  // 10
      "down S\n"                // 11: fine
      "left Q\xff\n"            // 12: not UTF-8
      "right G\0garbage\n"s;    // 13: a NUL, which would bind G
  std::vector<std::string> problems;
  KeyMap map = ParseKeyMap(file, &problems);
  std::vector<std::string> lines;
  for (const std::string& p : problems) lines.push_back(p.substr(0, p.find(':')));
  EXPECT_EQ(lines, (std::vector<std::string>{"2", "3", "4", "5", "6", "9", "10", "12", "13"}));
  EXPECT_NE(problems[0].find("unknown hard key 'jump'"), std::string::npos) << problems[0];
  EXPECT_NE(problems[2].find("unknown key 'Hyperdrive'"), std::string::npos) << problems[2];
  EXPECT_NE(problems[3].find("unknown pad button 'z'"), std::string::npos) << problems[3];
  EXPECT_NE(problems[4].find("window's own"), std::string::npos) << problems[4];
  EXPECT_NE(problems[7].find("not UTF-8"), std::string::npos) << problems[7];
  EXPECT_NE(problems[8].find("NUL"), std::string::npos) << problems[8];
  // The good lines around them still count; the bad ones changed nothing.
  EXPECT_EQ(Gives(map, SDLK_w), long(VK_UP));
  EXPECT_EQ(Gives(map, SDLK_s), long(VK_DOWN));
  EXPECT_EQ(Gives(map, SDLK_SPACE), -1);
  EXPECT_EQ(Gives(map, SDLK_F11), -1);
  EXPECT_EQ(Gives(map, SDLK_LEFT), long(VK_LEFT));
  EXPECT_EQ(Gives(map, SDLK_g), -1);
  EXPECT_EQ(Gives(map, SDLK_q), -1);
}

TEST(KeyMapTest, TheFileInTheDataFolderIsReadAndItsProblemsGoToStderr) {
  char tmpl[] = "/tmp/melvoria-keys-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  fs::path dir = tmpl;
  ScopedEnv data("MELVORIA_DATA_DIR", dir.string());

  // No file: the defaults, nothing said.
  testing::internal::CaptureStderr();
  LoadKeyMap();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  UINT vk = 0;
  EXPECT_TRUE(MappedKey(SDLK_UP, &vk));
  EXPECT_EQ(vk, VK_UP);

  std::ofstream(dir / "keys") << "up W\nsideways Q\n";
  testing::internal::CaptureStderr();
  LoadKeyMap();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find((dir / "keys").string() + ":2: unknown hard key 'sideways'"), std::string::npos) << err;
  EXPECT_TRUE(MappedKey(SDLK_w, &vk));
  EXPECT_EQ(vk, VK_UP);

  // A folder or a FIFO where the file should be: said so, and the defaults.
  // A FIFO is not opened (it would hold up the start until a writer came).
  fs::remove(dir / "keys");
  for (bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "a FIFO" : "a folder");
    fs::remove_all(dir / "keys");
    if (fifo)
      ASSERT_EQ(::mkfifo((dir / "keys").c_str(), 0600), 0);
    else
      fs::create_directory(dir / "keys");
    testing::internal::CaptureStderr();
    auto loading = std::async(std::launch::async, [] { LoadKeyMap(); });
    if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Let it go: a writer opens the FIFO and leaves.
      int fd = ::open((dir / "keys").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      ADD_FAILURE() << "reading the keys file waited";
    }
    loading.wait();
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot read " + (dir / "keys").string() + ": not a regular file"), std::string::npos)
        << err;
    EXPECT_FALSE(MappedKey(SDLK_w, &vk));
  }

  fs::remove_all(dir);
  LoadKeyMap();
}

}  // namespace
