// The host's events as the device's input, one translator for the desktop
// window and the page alike: the stylus, the hard keys, typing and game pads,
// and the host's own shortcuts, which the game never sees.
#pragma once

#include <array>

union SDL_Event;

namespace ce::input {

// What the host does itself with one of its own keys.
enum class HostAction {
  None,
  ToggleFullScreen,  // F11, Alt+Enter
};

class Translator {
 public:
  // Where a point of the host's pointer events lies on the device screen:
  // false when it lies off the picture (a press there is nobody's; a drag
  // goes on where the picture would continue).
  using ToDevice = bool (*)(int px, int py, int* x, int* y);
  explicit Translator(ToDevice toDevice) : toDevice_(toDevice) {}

  // Takes one event. The left button is the stylus; keys give the hard keys
  // of the `keys` file or the keys they stand for; text is typed; pads give
  // hard keys. The host's own keys (F11 and Alt+Enter: full screen; Ctrl+R:
  // the device turns) reach the game neither pressed, repeated nor released,
  // whichever key of the pair is let go first. Other events are left alone.
  HostAction Take(const SDL_Event& e);

 private:
  ToDevice toDevice_;
  // By scan code: pressed as one of the host's own keys, not yet released.
  std::array<bool, 512> hostKeys_{};
};

}  // namespace ce::input
