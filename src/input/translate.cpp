#include "input/translate.h"

#include <SDL.h>

#include "input/input.h"
#include "session/session.h"

namespace ce::input {

static_assert(SDL_NUM_SCANCODES <= 512, "a scan code indexes Translator::hostKeys_");

namespace {

enum class Shortcut { None, FullScreen, Turn };

Shortcut HostShortcut(const SDL_Keysym& key) {
  if (key.sym == SDLK_F11) return Shortcut::FullScreen;
  if ((key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT))
    return Shortcut::FullScreen;
  if (key.sym == SDLK_r && (key.mod & KMOD_CTRL)) return Shortcut::Turn;
  return Shortcut::None;
}

}  // namespace

HostAction Translator::Take(const SDL_Event& e) {
  int x = 0, y = 0;
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT && toDevice_(e.button.x, e.button.y, &x, &y))
        QueueInput({InputEvent::Down, x, y, 0});
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.state & SDL_BUTTON_LMASK) {
        toDevice_(e.motion.x, e.motion.y, &x, &y);
        QueueInput({InputEvent::Move, x, y, 0});
      }
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) {
        toDevice_(e.button.x, e.button.y, &x, &y);
        QueueInput({InputEvent::Up, x, y, 0});
      }
      break;
    case SDL_KEYDOWN: {
      SDL_Scancode sc = e.key.keysym.scancode;
      if (unsigned(sc) >= hostKeys_.size()) break;
      // A held key's repeats go where its press went.
      Shortcut shortcut = HostShortcut(e.key.keysym);
      if (!e.key.repeat) hostKeys_[sc] = shortcut != Shortcut::None;
      if (!hostKeys_[sc]) {
        if (UINT vk = VirtualKeyFor(e.key.keysym.sym)) QueueInput({InputEvent::KeyDown, 0, 0, vk});
      } else if (!e.key.repeat) {
        if (shortcut == Shortcut::Turn) {
          TurnFromDesktop();  // held like input while recording
        } else {
          return HostAction::ToggleFullScreen;
        }
      }
      break;
    }
    case SDL_KEYUP: {
      // The release of a key the host took is the host's too, whatever
      // modifiers are still held (the game acts on releases).
      SDL_Scancode sc = e.key.keysym.scancode;
      if (unsigned(sc) >= hostKeys_.size()) break;
      if (hostKeys_[sc]) {
        hostKeys_[sc] = false;
        break;
      }
      if (UINT vk = VirtualKeyFor(e.key.keysym.sym)) QueueInput({InputEvent::KeyUp, 0, 0, vk});
      break;
    }
    case SDL_TEXTINPUT:
      QueueTypedText(e.text.text);
      break;
    default:
      PadEvent(e);
      break;
  }
  return HostAction::None;
}

}  // namespace ce::input

namespace ce {

void DesktopInputOpen() {
  LoadKeyMap();
  PadsOpen();
}

void DesktopInputClose() {
  PadsClose();
}

}  // namespace ce
