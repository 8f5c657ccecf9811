// Game pads, through SDL's virtual joystick: the D-pad and the stick move the
// menu marker and the reel cursor, A spins, B answers No, pads come and go
// while the game runs, and the "Use PDAs Joystick" option governs them as it
// governs the arrows.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_state.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "app/startup.h"
#include "device/world.h"
#include "game/state.h"
#include "input/input.h"
#include "platform/host.h"
#include "render/draw.h"
#include "session/session.h"
#include "store/game_status.h"

namespace fs = std::filesystem;

namespace {

// A pad as SDL's virtual joystick: every game-controller button and axis,
// button i being SDL_GameControllerButton i.
struct VirtualPad {
  int index = -1;
  SDL_Joystick* joystick = nullptr;

  bool Plug() {
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    d.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    d.name = "test pad";
    index = SDL_JoystickAttachVirtualEx(&d);
    if (index < 0) return false;
    joystick = SDL_JoystickOpen(index);
    return joystick != nullptr;
  }
  void Unplug() {
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    joystick = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
  void Button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(joystick, b, down ? 1 : 0);
  }
  void Axis(SDL_GameControllerAxis a, int v) { SDL_JoystickSetVirtualAxis(joystick, a, Sint16(v)); }
};

class GamepadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-pad-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ::setenv("MELVORIA_DATA_DIR", (root_ / "data").c_str(), 1);
    FreeBitmapSlots();
    ce::host::Options options;
    options.screenWidth = 240;
    options.screenHeight = 320;
    ce::host::Start(options);
    ResetProgramState();
    ASSERT_TRUE(InitializeApplication(ce::GetModuleHandleW(nullptr), ce::SW_SHOW));
    ce::host::PumpMessages();
    gameStatus.helpEnabled = 0;
    gameStatus.joystickControl = 1;
    ce::PadsOpen();
    ASSERT_TRUE(pad_.Plug()) << SDL_GetError();
    Events();
    ASSERT_EQ(ce::PadsOpenCount(), 1);
  }
  void TearDown() override {
    if (pad_.joystick) pad_.Unplug();
    Events();
    ce::PadsClose();
    FreeBitmapSlots();
    ReleaseMainWindowIcon();
    ce::host::Stop();
    ::unsetenv("MELVORIA_DATA_DIR");
    fs::remove_all(root_);
  }

  // The desktop's part: SDL's events to the pads.
  void Events() {
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PollEvent(&e)) ce::PadEvent(e);
  }
  // The events, then the game takes what they gave.
  void Settle() {
    Events();
    ce::host::PumpMessages();
  }
  void Press(VirtualPad& p, SDL_GameControllerButton b) {
    p.Button(b, true);
    Settle();
    p.Button(b, false);
    Settle();
  }
  void Stick(VirtualPad& p, SDL_GameControllerAxis a, int v) {
    p.Axis(a, v);
    Settle();
  }
  // Key presses and releases the pads have queued and the game not yet taken.
  std::vector<std::string> Queued() {
    std::vector<std::string> v;
    for (const ce::InputEvent& e : ce::W().input)
      v.push_back((e.kind == ce::InputEvent::KeyDown ? "down " : "up ") + std::to_string(e.code));
    ce::W().input.clear();
    return v;
  }

  // On the play screen of an Easy game, the first spin over.
  void StartEasyGame() {
    Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    Press(pad_, SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(shell.ScreenState, Play);
    ce::host::AdvanceTime(10000);
    ASSERT_EQ(gameStatus.spinSettled, 1);
  }

  fs::path root_;
  VirtualPad pad_;
};

TEST_F(GamepadTest, DPadAndStickMoveTheMenuMarker) {
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_EQ(keyCursor, 1);
  // A push of the stick is one press, however long it is held and however it wavers.
  for (int v : {30000, 20000, 31000, 12000, 26000}) Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, v);
  EXPECT_EQ(keyCursor, 1);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 3000);
  EXPECT_EQ(keyCursor, 2);
  // Inside the dead zone and short of a push: nothing.
  for (int v : {7000, 15000, 0}) Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, v);
  EXPECT_EQ(keyCursor, 2);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, -32768);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 0);
  EXPECT_EQ(keyCursor, 1);
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_EQ(keyCursor, 1);
}

TEST_F(GamepadTest, TheOptionOffIgnoresThePad) {
  gameStatus.joystickControl = 0;
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 30000);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 0);
  Press(pad_, SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(keyCursor, 0);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  gameStatus.joystickControl = 1;
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_EQ(keyCursor, 1);
}

TEST_F(GamepadTest, DPadAndStickMoveTheReelCursorAndASpins) {
  StartEasyGame();
  EXPECT_EQ(keyCursor, 1);  // the first reel, as the menu's first item was marked
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  EXPECT_EQ(keyCursor, 2);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTX, 32767);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTX, 0);
  EXPECT_EQ(keyCursor, 3);
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  EXPECT_EQ(keyCursor, 2);
  // A sweep of the stick from left to down: one release, then the other press.
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTX, -30000);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 30000);
  EXPECT_EQ(keyCursor, 2);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTX, 0);
  EXPECT_EQ(keyCursor, 1);
  EXPECT_EQ(gameStatus.reelMotion[0], ReelIdle);
  Stick(pad_, SDL_CONTROLLER_AXIS_LEFTY, 0);  // the down push ends: the first reel turns down
  EXPECT_EQ(gameStatus.reelMotion[0], Down);
  ce::host::AdvanceTime(5000);
  ASSERT_EQ(gameStatus.spinSettled, 1);
  Press(pad_, SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(gameStatus.spinSettled, 0);
  EXPECT_EQ(gameStatus.spinStep[0], 1);
}

TEST_F(GamepadTest, BAnswersNoAndStartSpinsGuideAndBackDoNothing) {
  StartEasyGame();
  // The abandon box asks; B, pressed while it is up, answers No: the game goes on.
  ce::host::StylusDown(215, 20);
  ce::host::StylusUp(215, 20);
  pad_.Button(SDL_CONTROLLER_BUTTON_B, true);
  Events();
  pad_.Button(SDL_CONTROLLER_BUTTON_B, false);
  Events();
  ce::host::PumpMessages();
  EXPECT_EQ(ce::host::CurrentMessageBox(), nullptr);
  // Answered, not closed with the program (as an unanswered box is at the end of the input).
  auto windows = ce::host::TopLevelWindows();
  EXPECT_NE(std::find(windows.begin(), windows.end(), shell.mainWindow), windows.end());
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_NE(gameStatus.gameMode, 0);

  for (auto b : {SDL_CONTROLLER_BUTTON_GUIDE, SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_X}) {
    pad_.Button(b, true);
    pad_.Button(b, false);
    Events();
    EXPECT_TRUE(Queued().empty()) << SDL_GameControllerGetStringForButton(b);
  }
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  Press(pad_, SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(gameStatus.spinSettled, 0);
}

TEST_F(GamepadTest, PadsComeAndGoWhileTheGameRuns) {
  VirtualPad second;
  ASSERT_TRUE(second.Plug());
  Events();
  EXPECT_EQ(ce::PadsOpenCount(), 2);
  Press(second, SDL_CONTROLLER_BUTTON_DPAD_DOWN);  // works at once
  EXPECT_EQ(keyCursor, 1);
  // The first pad pulled out while it holds Down: it lets go (nothing stays
  // held); the other pad and the keyboard go on.
  pad_.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  Settle();
  EXPECT_EQ(keyCursor, 1);
  pad_.Unplug();
  Settle();
  EXPECT_EQ(ce::PadsOpenCount(), 1);
  EXPECT_EQ(keyCursor, 2);
  Press(second, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_EQ(keyCursor, 3);
  ce::host::KeyDown(ce::VK_DOWN);
  ce::host::KeyUp(ce::VK_DOWN);
  ce::host::PumpMessages();
  EXPECT_EQ(keyCursor, 4);
  // Plugged in again, it works again.
  ASSERT_TRUE(pad_.Plug());
  Events();
  EXPECT_EQ(ce::PadsOpenCount(), 2);
  Press(pad_, SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_EQ(keyCursor, 3);
  second.Unplug();
  Events();
  EXPECT_EQ(ce::PadsOpenCount(), 1);
}

TEST_F(GamepadTest, ButtonsFollowTheKeysFile) {
  fs::create_directories(root_ / "data");
  std::ofstream(root_ / "data" / "keys") << "enter pad x\nnone pad a\ndown pad rightshoulder\n";
  ce::LoadKeyMap();
  Press(pad_, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER);
  EXPECT_EQ(keyCursor, 1);
  Press(pad_, SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  Press(pad_, SDL_CONTROLLER_BUTTON_X);
  EXPECT_EQ(shell.ScreenState, Play);
  fs::remove(root_ / "data" / "keys");
  ce::LoadKeyMap();
}

}  // namespace
