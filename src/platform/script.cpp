// Scripted runs: a file of device actions on virtual time.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/utf.h"
#include "platform/wm.h"

namespace ce {

namespace {
struct Command {
  enum Kind { Tap, Down, Move, Up, Key, Type, Wait, Rotate, Shot } kind;
  int line = 0;
  int x = 0;
  int y = 0;
  UINT vk = 0;
  std::u16string text;
  std::string file;
};

struct Script {
  bool loaded = false;
  std::vector<Command> commands;
  std::size_t next = 0;
};
Script g_script;

bool ParseNumber(const std::string& s, long max, long* out) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  *out = std::stol(s);
  return *out <= max;
}

struct KeyName {
  const char* name;
  UINT vk;
};
constexpr KeyName kKeys[] = {{"up", VK_UP},         {"down", VK_DOWN},    {"left", VK_LEFT},
                             {"right", VK_RIGHT},   {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
                             {"backspace", VK_BACK}};

// The whole file; false with the reason when it cannot be read (a folder opens
// but cannot be read).
bool ReadScriptFile(const std::string& path, std::string* text, std::string* why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  text->clear();
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *why = std::strerror(errno);
    if (n <= 0) {
      ::close(fd);
      return n == 0;
    }
    text->append(chunk, std::size_t(n));
  }
}
}  // namespace

bool LoadScript(const std::string& path, std::string* error) {
  g_script = Script{};
  std::string text, reason;
  if (!ReadScriptFile(path, &text, &reason)) {
    *error = "melvoria: cannot read the script " + path + ": " + reason;
    return false;
  }
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    *error = "melvoria: " + path + ":" + std::to_string(lineNo) + ": " + why;
    g_script = Script{};
    return false;
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::size_t start = raw.find_first_not_of(" \t");
    if (start == std::string::npos || raw[start] == '#') continue;
    std::string line = raw.substr(start);
    std::size_t sp = line.find_first_of(" \t");
    std::string word = line.substr(0, sp);
    std::string rest = sp == std::string::npos
                           ? ""
                           : line.substr(line.find_first_not_of(" \t", sp) == std::string::npos
                                             ? line.size()
                                             : line.find_first_not_of(" \t", sp));
    std::istringstream args(rest);
    std::vector<std::string> parts;
    for (std::string p; args >> p;) parts.push_back(p);
    Command c{};
    c.line = lineNo;
    if (word == "tap" || word == "down" || word == "move" || word == "up") {
      long x, y;
      if (parts.size() != 2) return fail("'" + word + "' needs two coordinates: " + word + " X Y");
      if (!ParseNumber(parts[0], 65535, &x) || !ParseNumber(parts[1], 65535, &y))
        return fail("coordinates must be whole numbers from 0 to 65535");
      c.kind = word == "tap"    ? Command::Tap
               : word == "down" ? Command::Down
               : word == "move" ? Command::Move
                                : Command::Up;
      c.x = int(x);
      c.y = int(y);
    } else if (word == "key") {
      if (parts.size() != 1) return fail("'key' needs one key name");
      c.kind = Command::Key;
      for (const KeyName& k : kKeys)
        if (parts[0] == k.name) c.vk = k.vk;
      if (!c.vk)
        return fail("unknown key '" + parts[0] + "' (keys: up down left right enter escape backspace)");
    } else if (word == "type") {
      c.kind = Command::Type;
      c.text = utf::ToUtf16(rest);
    } else if (word == "wait") {
      long ms;
      if (parts.size() != 1 || !ParseNumber(parts[0], 86400000, &ms))
        return fail("'wait' needs a whole number of milliseconds");
      c.kind = Command::Wait;
      c.x = int(ms);
    } else if (word == "rotate") {
      if (!parts.empty()) return fail("'rotate' takes nothing after it");
      c.kind = Command::Rotate;
    } else if (word == "shot") {
      if (rest.empty()) return fail("'shot' needs a file name");
      auto ends = [&](const char* ext) {
        std::string e(ext);
        return rest.size() > e.size() && rest.compare(rest.size() - e.size(), e.size(), e) == 0;
      };
      if (!ends(".png") && !ends(".bmp") && !ends(".PNG") && !ends(".BMP"))
        return fail("'shot' writes .png or .bmp files");
      c.kind = Command::Shot;
      c.file = rest;
    } else {
      return fail("unknown command '" + word + "'");
    }
    g_script.commands.push_back(c);
  }
  g_script.loaded = true;
  return true;
}

bool ScriptLoaded() {
  return g_script.loaded;
}

bool ScriptStep() {
  if (!g_script.loaded || g_script.next >= g_script.commands.size()) return false;
  const Command& c = g_script.commands[g_script.next++];
  World& world = W();
  switch (c.kind) {
    case Command::Tap:
      QueueInput({InputEvent::Down, c.x, c.y, 0});
      QueueInput({InputEvent::Up, c.x, c.y, 0});
      break;
    case Command::Down:
      QueueInput({InputEvent::Down, c.x, c.y, 0});
      break;
    case Command::Move:
      QueueInput({InputEvent::Move, c.x, c.y, 0});
      break;
    case Command::Up:
      QueueInput({InputEvent::Up, c.x, c.y, 0});
      break;
    case Command::Key:
      QueueInput({InputEvent::KeyDown, 0, 0, c.vk});
      QueueInput({InputEvent::KeyUp, 0, 0, c.vk});
      break;
    case Command::Type:
      for (char16_t ch : c.text) QueueInput({InputEvent::Char, 0, 0, UINT(ch)});
      break;
    case Command::Wait:
      world.waitTarget = world.now + c.x;
      break;
    case Command::Rotate:
      host::Rotate();
      break;
    case Command::Shot: {
      std::string error;
      if (!host::SaveScreenshot(c.file, &error))
        std::fprintf(stderr, "melvoria: script line %d: %s\n", c.line, error.c_str());
      break;
    }
  }
  return true;
}

namespace host {
bool SaveScreenshot(const std::string& path, std::string* error) {
  std::vector<std::uint8_t> bytes;
  bool png = path.size() >= 4 &&
             (path.compare(path.size() - 4, 4, ".png") == 0 || path.compare(path.size() - 4, 4, ".PNG") == 0);
  bool ok = png ? EncodePng(ScreenSurface(), &bytes) : EncodeBmp(ScreenSurface(), &bytes);
  if (!ok) {
    *error = "cannot encode the screen";
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
}  // namespace host

}  // namespace ce
