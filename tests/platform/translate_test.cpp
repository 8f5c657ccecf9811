// The one translator of host events that the desktop window and the page both
// use: the host's own keys never reach the game, whichever key of a pair is let
// go first, and everything else becomes the device's input.
#include "input/translate.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/world.h"
#include "platform/host.h"

using namespace ce;

namespace {

// The device screen at one host pixel per device pixel.
bool OneForOne(int px, int py, int* x, int* y) {
  *x = px;
  *y = py;
  return px >= 0 && py >= 0 && px < host::ScreenWidth() && py < host::ScreenHeight();
}

// The key's place on the keyboard (SDL knows it only once its video is up).
SDL_Scancode ScanCode(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_RETURN:
      return SDL_SCANCODE_RETURN;
    case SDLK_LALT:
      return SDL_SCANCODE_LALT;
    case SDLK_LCTRL:
      return SDL_SCANCODE_LCTRL;
    case SDLK_r:
      return SDL_SCANCODE_R;
    case SDLK_F11:
      return SDL_SCANCODE_F11;
    default:
      return SDL_SCANCODE_UNKNOWN;
  }
}

// A key as SDL gives it: `repeat` for the keyboard's own repeats.
SDL_Event Key(Uint32 type, SDL_Keycode sym, Uint16 mod, bool repeat = false) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = ScanCode(sym);
  e.key.keysym.mod = mod;
  e.key.repeat = repeat ? 1 : 0;
  return e;
}
SDL_Event Down(SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
  return Key(SDL_KEYDOWN, sym, mod, repeat);
}
SDL_Event Up(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
  return Key(SDL_KEYUP, sym, mod);
}
SDL_Event Button(Uint32 type, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = x;
  e.button.y = y;
  return e;
}
SDL_Event Motion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.state = SDL_BUTTON_LMASK;
  e.motion.x = x;
  e.motion.y = y;
  return e;
}

// The device's queued input, written as "down 1 2", "keydown 13", ...
std::vector<std::string> Queued() {
  static const char* const kNames[] = {"down", "move", "up", "keydown", "keyup", "char"};
  std::vector<std::string> out;
  for (const InputEvent& e : W().input) {
    char line[48];
    if (e.kind <= InputEvent::Up)
      std::snprintf(line, sizeof line, "%s %d %d", kNames[e.kind], e.x, e.y);
    else
      std::snprintf(line, sizeof line, "%s %u", kNames[e.kind], unsigned(e.code));
    out.push_back(line);
  }
  return out;
}

class TranslateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Options options;  // headless, virtual time
    host::Start(options);
  }
  void TearDown() override { host::Stop(); }
};

TEST_F(TranslateTest, HostKeysNeverReachTheGame) {
  const std::string enter = std::to_string(VK_RETURN);
  struct Case {
    const char* what;
    std::vector<SDL_Event> events;
    int fullScreens;
    bool turned;
    std::vector<std::string> queued;  // of the keys Return, R and F11 only
  };
  const Case cases[] = {
      {"Alt+Enter, Alt let go first",
       {Down(SDLK_LALT), Down(SDLK_RETURN, KMOD_LALT), Up(SDLK_LALT), Up(SDLK_RETURN)},
       1,
       false,
       {}},
      {"Alt+Enter, Enter let go first",
       {Down(SDLK_LALT), Down(SDLK_RETURN, KMOD_LALT), Up(SDLK_RETURN, KMOD_LALT), Up(SDLK_LALT)},
       1,
       false,
       {}},
      {"Alt+Enter held: its repeats are the host's too",
       {Down(SDLK_RETURN, KMOD_LALT), Down(SDLK_RETURN, KMOD_LALT, true), Down(SDLK_RETURN, KMOD_NONE, true),
        Up(SDLK_RETURN)},
       1,
       false,
       {}},
      {"Ctrl+R, Ctrl let go first",
       {Down(SDLK_LCTRL), Down(SDLK_r, KMOD_LCTRL), Up(SDLK_LCTRL), Up(SDLK_r)},
       0,
       true,
       {}},
      {"F11 pressed and released", {Down(SDLK_F11), Up(SDLK_F11)}, 1, false, {}},
      {"Enter alone is the game's, repeats and all",
       {Down(SDLK_RETURN), Down(SDLK_RETURN, KMOD_NONE, true), Up(SDLK_RETURN)},
       0,
       false,
       {"keydown " + enter, "keydown " + enter, "keyup " + enter}},
      {"Enter held before Alt: still the game's",
       {Down(SDLK_RETURN), Down(SDLK_LALT), Down(SDLK_RETURN, KMOD_LALT, true), Up(SDLK_RETURN, KMOD_LALT)},
       0,
       false,
       {"keydown " + enter, "keydown " + enter, "keyup " + enter}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::Start(host::Options{});
    const int width = host::ScreenWidth();
    input::Translator t(OneForOne);
    int fullScreens = 0;
    for (const SDL_Event& e : c.events)
      if (t.Take(e) == input::HostAction::ToggleFullScreen) ++fullScreens;
    EXPECT_EQ(fullScreens, c.fullScreens);
    EXPECT_EQ(host::ScreenWidth() != width, c.turned);
    std::vector<std::string> keys;
    for (const std::string& q : Queued())
      if (q == "keydown " + enter || q == "keyup " + enter || q.rfind("keydown 82", 0) == 0 ||
          q.rfind("keyup 82", 0) == 0)
        keys.push_back(q);
    EXPECT_EQ(keys, c.queued);
  }
}

TEST_F(TranslateTest, TheLeftButtonIsTheStylus) {
  input::Translator t(OneForOne);
  // A press off the picture is nobody's, and so is the drag that follows it;
  // one on the picture is followed wherever it goes.
  SDL_Event right = Button(SDL_MOUSEBUTTONDOWN, 5, 5);
  right.button.button = SDL_BUTTON_RIGHT;
  for (const SDL_Event& e : {right, Button(SDL_MOUSEBUTTONDOWN, -3, 7), Button(SDL_MOUSEBUTTONDOWN, 10, 20),
                             Motion(-4, 25), Button(SDL_MOUSEBUTTONUP, -4, 30)})
    t.Take(e);
  EXPECT_EQ(Queued(), (std::vector<std::string>{"down 10 20", "move -4 25", "up -4 30"}));
}

TEST_F(TranslateTest, TextIsTyped) {
  input::Translator t(OneForOne);
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::snprintf(e.text.text, sizeof e.text.text, "%s", "A\xC3\xA9");  // "Aé"
  t.Take(e);
  EXPECT_EQ(Queued(), (std::vector<std::string>{"char 65", "char 233"}));
}

}  // namespace
