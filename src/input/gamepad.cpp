// Game pads as the handheld's hard keys: the D-pad and the left stick give the
// direction keys, the buttons what the keys file says (A and Start the action
// key, B Escape). They give the same key presses and releases the keyboard
// gives, so the game's own rules (and its "Use PDAs Joystick" option) govern
// them as they govern the arrows. A held direction does not repeat: the game
// acts on releases, so repeated presses would change nothing.
#include <SDL.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "input/input.h"

namespace ce {

namespace {
// The stick pushed past half its travel is a press; it ends when the stick is
// back in the dead zone (a quarter of its travel), so a stick resting near the
// threshold does not chatter.
constexpr int kPush = 16384;
constexpr int kDeadZone = 8192;

static_assert(SDL_CONTROLLER_BUTTON_MAX <= int(sizeof KeyMap::pad / sizeof KeyMap::pad[0]));

struct Pad {
  SDL_JoystickID id = -1;
  SDL_GameController* controller = nullptr;
  UINT held[SDL_CONTROLLER_BUTTON_MAX] = {};  // what each held button gave when pressed
  int x = 0;
  int y = 0;
  UINT stick = 0;  // the direction the stick holds
  // The device files SDL reads the pad from: the window's wait wakes on them.
  std::vector<int> fds;
  // Neither such a file nor virtual: its state is read only by polling.
  bool polled = false;
};

struct Pads {
  bool open = false;
  std::vector<Pad> pads;
  SDL_JoystickID virtualPad = -1;  // MELVORIA_VIRTUAL_PAD's, while attached
};
Pads g_pads;

// The open files of this process that are input devices.
std::set<int> DeviceFds() {
  std::set<int> fds;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return fds;
  while (dirent* e = readdir(dir)) {
    char path[300], target[256];
    std::snprintf(path, sizeof path, "/proc/self/fd/%s", e->d_name);
    ssize_t n = readlink(path, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    if (std::strncmp(target, "/dev/input/", 11) == 0 || std::strncmp(target, "/dev/hidraw", 11) == 0 ||
        std::strncmp(target, "/dev/bus/usb/", 13) == 0)
      fds.insert(std::atoi(e->d_name));
  }
  closedir(dir);
  return fds;
}

void Press(UINT vk) {
  QueueInput({InputEvent::KeyDown, 0, 0, vk});
}

void Release(UINT vk) {
  QueueInput({InputEvent::KeyUp, 0, 0, vk});
}

// How far the stick is pushed towards a direction.
int Towards(const Pad& p, UINT vk) {
  switch (vk) {
    case VK_LEFT:
      return -p.x;
    case VK_RIGHT:
      return p.x;
    case VK_UP:
      return -p.y;
    default:
      return p.y;
  }
}

// The direction the stick gives now: a held one stays while the stick still
// leans that way; another takes over only when the stick is pushed to it.
UINT StickDirection(const Pad& p) {
  int ax = std::abs(p.x), ay = std::abs(p.y);
  UINT dominant = ax >= ay ? (p.x < 0 ? VK_LEFT : VK_RIGHT) : (p.y < 0 ? VK_UP : VK_DOWN);
  int push = std::max(ax, ay);
  if (p.stick != 0 && Towards(p, p.stick) >= kPush) return p.stick;
  if (push >= kPush) return dominant;
  if (p.stick != 0 && Towards(p, p.stick) >= kDeadZone) return p.stick;
  return 0;
}

Pad* Find(SDL_JoystickID id) {
  for (Pad& p : g_pads.pads)
    if (p.id == id) return &p;
  return nullptr;
}

void Plugged(int deviceIndex) {
  if (Find(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;  // told twice (at start-up and by its own event)
  std::set<int> before = DeviceFds();
  SDL_GameController* c = SDL_GameControllerOpen(deviceIndex);
  if (!c) return;
  SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
  if (Find(id)) {
    SDL_GameControllerClose(c);
    return;
  }
  Pad p;
  p.id = id;
  p.controller = c;
  for (int fd : DeviceFds())
    if (!before.count(fd)) p.fds.push_back(fd);
  p.polled = p.fds.empty() && !SDL_JoystickIsVirtual(deviceIndex);
  g_pads.pads.push_back(p);
}

// Unplugged: SDL has let go of its buttons and centred its stick just before
// (their releases came as events), so nothing it held stays held.
void Unplugged(SDL_JoystickID id) {
  auto& v = g_pads.pads;
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it->id == id) {
      SDL_GameControllerClose(it->controller);
      v.erase(it);
      return;
    }
}

void Button(SDL_JoystickID id, int button, bool down) {
  Pad* p = Find(id);
  if (!p || button < 0 || button >= SDL_CONTROLLER_BUTTON_MAX) return;
  if (down) {
    UINT vk = CurrentKeyMap().pad[button];
    if (vk == 0 || p->held[button] != 0) return;
    p->held[button] = vk;
    Press(vk);
  } else if (UINT vk = p->held[button]) {
    p->held[button] = 0;
    Release(vk);
  }
}

void Axis(SDL_JoystickID id, int axis, int value) {
  Pad* p = Find(id);
  if (!p) return;
  if (axis == SDL_CONTROLLER_AXIS_LEFTX)
    p->x = value;
  else if (axis == SDL_CONTROLLER_AXIS_LEFTY)
    p->y = value;
  else
    return;
  UINT direction = StickDirection(*p);
  if (direction == p->stick) return;
  if (p->stick) Release(p->stick);
  p->stick = direction;
  if (direction) Press(direction);
}

}  // namespace

void PadsOpen() {
  if (g_pads.open) return;
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    std::fprintf(stderr, "melvoria: game pads are not available: %s\n", SDL_GetError());
    return;
  }
  g_pads.open = true;
  // Measurements and tests: one pad, SDL's virtual joystick, plugged in.
  if (const char* v = std::getenv("MELVORIA_VIRTUAL_PAD"); v && std::strcmp(v, "1") == 0) {
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                          SDL_CONTROLLER_BUTTON_MAX, 0);
    if (index >= 0) g_pads.virtualPad = SDL_JoystickGetDeviceInstanceID(index);
  }
  // Pads plugged in before the start arrive as events too; opened here they
  // work from the first frame.
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_IsGameController(i)) Plugged(i);
}

void PadsClose() {
  if (!g_pads.open) return;
  for (Pad& p : g_pads.pads) SDL_GameControllerClose(p.controller);
  for (int i = 0; g_pads.virtualPad >= 0 && i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == g_pads.virtualPad) SDL_JoystickDetachVirtual(i);
  g_pads = Pads{};
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

int PadsOpenCount() {
  return int(g_pads.pads.size());
}

void PadWaitFds(std::vector<int>* fds) {
  for (const Pad& p : g_pads.pads) fds->insert(fds->end(), p.fds.begin(), p.fds.end());
}

bool PadsPolled() {
  for (const Pad& p : g_pads.pads)
    if (p.polled) return true;
  return false;
}

bool PadEvent(const SDL_Event& e) {
  if (!g_pads.open) return false;
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      Plugged(e.cdevice.which);
      return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      Unplugged(e.cdevice.which);
      return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      Button(e.cbutton.which, e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN);
      return true;
    case SDL_CONTROLLERAXISMOTION:
      Axis(e.caxis.which, e.caxis.axis, e.caxis.value);
      return true;
    default:
      return false;
  }
}

}  // namespace ce
