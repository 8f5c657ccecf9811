// The `keys` file in the data folder: which keyboard keys and pad buttons give
// the handheld's hard keys.
#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "common/files.h"
#include "common/utf.h"
#include "input/input.h"

namespace ce {

namespace {
struct HardKey {
  const char* name;
  UINT vk;
};
// The names are the script's; "none" takes a key away from every hard key.
constexpr HardKey kHardKeys[] = {{"up", VK_UP},       {"down", VK_DOWN},    {"left", VK_LEFT},
                                 {"right", VK_RIGHT}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
                                 {"none", 0}};

KeyMap g_map = DefaultKeyMap();

void Bind(KeyMap* map, std::int32_t keycode, UINT vk) {
  for (KeyMap::Binding& b : map->keys)
    if (b.keycode == keycode) {
      b.vk = vk;
      return;
    }
  map->keys.push_back({keycode, vk});
}

std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  std::size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// The keys the window keeps for itself whatever the file says.
bool WindowsOwnKey(SDL_Keycode k) {
  return k == SDLK_F11;
}
}  // namespace

KeyMap DefaultKeyMap() {
  KeyMap m;
  m.keys = {{SDLK_UP, VK_UP},           {SDLK_KP_8, VK_UP},     {SDLK_DOWN, VK_DOWN},
            {SDLK_KP_2, VK_DOWN},       {SDLK_LEFT, VK_LEFT},   {SDLK_KP_4, VK_LEFT},
            {SDLK_RIGHT, VK_RIGHT},     {SDLK_KP_6, VK_RIGHT},  {SDLK_RETURN, VK_RETURN},
            {SDLK_KP_ENTER, VK_RETURN}, {SDLK_KP_5, VK_RETURN}, {SDLK_ESCAPE, VK_ESCAPE}};
  m.pad[SDL_CONTROLLER_BUTTON_DPAD_UP] = VK_UP;
  m.pad[SDL_CONTROLLER_BUTTON_DPAD_DOWN] = VK_DOWN;
  m.pad[SDL_CONTROLLER_BUTTON_DPAD_LEFT] = VK_LEFT;
  m.pad[SDL_CONTROLLER_BUTTON_DPAD_RIGHT] = VK_RIGHT;
  m.pad[SDL_CONTROLLER_BUTTON_A] = VK_RETURN;
  m.pad[SDL_CONTROLLER_BUTTON_START] = VK_RETURN;
  m.pad[SDL_CONTROLLER_BUTTON_B] = VK_ESCAPE;
  return m;
}

KeyMap ParseKeyMap(const std::string& text, std::vector<std::string>* problems) {
  KeyMap map = DefaultKeyMap();
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  auto problem = [&](const std::string& why) { problems->push_back(std::to_string(lineNo) + ": " + why); };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    // SDL reads names only up to a NUL: "left F\0..." would bind F.
    std::vector<char32_t> points;
    if (line.find('\0') != std::string::npos || !utf::DecodeUtf8(line, &points)) {
      problem("the line holds a NUL byte or is not UTF-8 text");
      continue;
    }
    std::size_t sp = line.find_first_of(" \t");
    std::string what = line.substr(0, sp);
    std::string key = sp == std::string::npos ? "" : Trim(line.substr(sp));
    const HardKey* hard = nullptr;
    for (const HardKey& h : kHardKeys)
      if (SDL_strcasecmp(what.c_str(), h.name) == 0) hard = &h;
    if (!hard) {
      problem("unknown hard key '" + what + "' (up down left right enter escape, or none)");
      continue;
    }
    if (key.empty()) {
      problem("'" + what + "' needs a key: a keyboard key's name or pad BUTTON");
      continue;
    }
    if (key.size() > 4 && SDL_strncasecmp(key.c_str(), "pad", 3) == 0 && (key[3] == ' ' || key[3] == '\t')) {
      std::string button = Trim(key.substr(4));
      SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(button.c_str());
      if (b == SDL_CONTROLLER_BUTTON_INVALID || int(b) >= int(sizeof map.pad / sizeof map.pad[0])) {
        problem("unknown pad button '" + button +
                "' (a b x y back guide start leftstick rightstick leftshoulder rightshoulder dpup dpdown "
                "dpleft dpright)");
        continue;
      }
      map.pad[b] = hard->vk;
      continue;
    }
    SDL_Keycode k = SDL_strcasecmp(key.c_str(), "enter") == 0 ? SDLK_RETURN : SDL_GetKeyFromName(key.c_str());
    if (k == SDLK_UNKNOWN) {
      problem("unknown key '" + key + "' (keys go by their names: Up, W, Space, Keypad 8, Return, ...)");
      continue;
    }
    if (WindowsOwnKey(k)) {
      problem("'" + key + "' is the window's own key (full screen) and cannot be bound");
      continue;
    }
    Bind(&map, k, hard->vk);
  }
  return map;
}

void LoadKeyMap() {
  g_map = DefaultKeyMap();
  std::string path = host::DataDir() + "/keys";
  // Only a regular file: a FIFO there would hold up the start.
  int fd = OpenRegularFile(path);
  if (fd < 0 && errno == ENOENT) return;  // no file: the defaults
  std::string text;
  bool ok = fd >= 0;
  for (char chunk[4096]; ok;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(chunk, std::size_t(n));
  }
  int err = errno;
  if (fd >= 0) ::close(fd);
  if (!ok) {
    std::fprintf(stderr, "melvoria: cannot read %s: %s; the default keys are used\n", path.c_str(),
                 err == EINVAL ? "not a regular file" : std::strerror(err));
    return;
  }
  std::vector<std::string> problems;
  g_map = ParseKeyMap(text, &problems);
  for (const std::string& p : problems)
    std::fprintf(stderr, "melvoria: %s:%s (the line is ignored)\n", path.c_str(), p.c_str());
}

const KeyMap& CurrentKeyMap() {
  return g_map;
}

bool MappedKey(const KeyMap& map, std::int32_t keycode, UINT* vk) {
  for (const KeyMap::Binding& b : map.keys)
    if (b.keycode == keycode) {
      *vk = b.vk;
      return true;
    }
  return false;
}

bool MappedKey(std::int32_t keycode, UINT* vk) {
  return MappedKey(g_map, keycode, vk);
}

UINT VirtualKeyFor(std::int32_t k) {
  // The map holds every hard key's keys (a binding is changed, never dropped).
  if (UINT vk = 0; MappedKey(k, &vk)) return vk;
  switch (k) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_DELETE:
      return VK_DELETE;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    default:
      break;
  }
  if (k >= SDLK_a && k <= SDLK_z) return UINT('A' + (k - SDLK_a));
  if (k >= SDLK_0 && k <= SDLK_9) return UINT('0' + (k - SDLK_0));
  return 0;
}

void QueueTypedText(const char* utf8) {
  std::vector<char32_t> points;
  utf::DecodeUtf8(utf8, &points);
  std::u16string units;
  for (char32_t c : points)
    if (c >= 0x20 && c != 0x7F) utf::AppendUtf16(c, &units);
  for (char16_t u : units) QueueInput({InputEvent::Char, 0, 0, UINT(u)});
}

}  // namespace ce
