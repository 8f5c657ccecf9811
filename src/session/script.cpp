// Scripted runs: a file of device actions on virtual time.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/utf.h"
#include "device/port.h"
#include "session/session.h"

namespace ce {

namespace {
struct Command {
  enum Kind { Tap, Down, Move, Up, Key, KeyDown, KeyUp, Type, Wait, Clock, Rotate, Shot } kind;
  int line = 0;
  int x = 0;
  int y = 0;
  UINT vk = 0;
  std::int64_t count = -1;    // wait: the timer messages it delivers (-1: as they fall due)
  std::u16string timerClass;  // wait: whose timer delivers them (empty: the earliest due)
  UINT_PTR timerId = 0;
  std::int64_t value = 0;  // clock: the reading
  std::u16string text;
  std::string file;
};

struct Script {
  bool loaded = false;
  std::vector<Command> commands;
  std::size_t next = 0;
  // Once a counted wait has run, timers fire only inside waits: between lines
  // the recorded session made none either.
  bool counting = false;
  std::int64_t budget = -1;  // timer messages the running counted wait still owes
  int budgetLine = 0;
  std::u16string budgetClass;  // whose timer owes them (empty: the earliest due)
  UINT_PTR budgetId = 0;
  bool clockPending = false;  // a `clock` line reached before its reading
  std::int64_t clockValue = 0;
};
Script g_script;
// A line that could not be carried out (a screenshot not written): the run
// ends with exit code 2.
bool g_scriptFailed = false;

bool ParseNumber(const std::string& s, long long max, long long* out) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  *out = std::stoll(s);
  return *out <= max;
}

struct KeyName {
  const char* name;
  UINT vk;
};
// Every key the desktop gives the device has a name, so a recording can say
// it; letters and digits go by themselves ("a" is the A key).
constexpr KeyName kKeys[] = {{"up", VK_UP},          {"down", VK_DOWN},     {"left", VK_LEFT},
                             {"right", VK_RIGHT},    {"enter", VK_RETURN},  {"escape", VK_ESCAPE},
                             {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"tab", VK_TAB},
                             {"space", VK_SPACE},    {"ctrl", VK_CONTROL},  {"shift", VK_SHIFT}};

UINT KeyByName(const std::string& name) {
  for (const KeyName& k : kKeys)
    if (name == k.name) return k.vk;
  if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') return UINT(name[0] - 'a' + 'A');
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') return UINT(name[0]);
  return 0;
}

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
  g_scriptFailed = false;
  std::string text, reason;
  if (!ReadScriptFile(path, &text, &reason)) {
    *error = "melvoria: cannot read the script " + path + ": " + reason;
    return false;
  }
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  bool cut = false;  // the line read has no newline after it
  auto fail = [&](const std::string& why) {
    if (cut) {
      // The last line of a recording that was stopped in the middle of it
      // (a full disk): what comes before it still replays.
      std::fprintf(stderr, "melvoria: %s:%d: the last line is cut short and left out (%s)\n", path.c_str(),
                   lineNo, why.c_str());
      g_script.loaded = true;
      return true;
    }
    *error = "melvoria: " + path + ":" + std::to_string(lineNo) + ": " + why;
    g_script = Script{};
    return false;
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    cut = in.eof();
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::size_t start = raw.find_first_not_of(" \t");
    if (start == std::string::npos || raw[start] == '#') continue;
    // A NUL would end a file name or text early, and bytes that are not UTF-8
    // would be typed as something else.
    std::vector<char32_t> points;
    if (raw.find('\0') != std::string::npos || !utf::DecodeUtf8(raw, &points))
      return fail("the line holds a NUL byte or is not UTF-8 text");
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
      long long x, y;
      if (parts.size() != 2) return fail("'" + word + "' needs two coordinates: " + word + " X Y");
      if (!ParseNumber(parts[0], 65535, &x) || !ParseNumber(parts[1], 65535, &y))
        return fail("coordinates must be whole numbers from 0 to 65535");
      c.kind = word == "tap"    ? Command::Tap
               : word == "down" ? Command::Down
               : word == "move" ? Command::Move
                                : Command::Up;
      c.x = int(x);
      c.y = int(y);
    } else if (word == "key" || word == "keydown" || word == "keyup") {
      if (parts.size() != 1) return fail("'" + word + "' needs one key name");
      c.kind = word == "key" ? Command::Key : word == "keydown" ? Command::KeyDown : Command::KeyUp;
      c.vk = KeyByName(parts[0]);
      if (!c.vk)
        return fail("unknown key '" + parts[0] +
                    "' (keys: up down left right enter escape backspace delete tab space ctrl shift, "
                    "a to z, 0 to 9)");
    } else if (word == "type") {
      c.kind = Command::Type;
      c.text = utf::ToUtf16(rest);
    } else if (word == "char") {
      long long code;
      if (parts.size() != 1 || !ParseNumber(parts[0], 0x10FFFF, &code) || code == 0 ||
          (code >= 0xD800 && code <= 0xDFFF))
        return fail("'char' needs a character's number, from 1 to 1114111 (not a surrogate)");
      c.kind = Command::Type;
      utf::AppendUtf16(char32_t(code), &c.text);
    } else if (word == "wait") {
      long long ms, count = -1, id = 0;
      if (parts.empty() || parts.size() == 3 || parts.size() > 4 || !ParseNumber(parts[0], kLongestWait, &ms))
        return fail("'wait' needs a whole number of milliseconds up to " + std::to_string(kLongestWait) +
                    " (wait MS, wait MS N, wait MS N CLASS ID)");
      if (parts.size() >= 2 && !ParseNumber(parts[1], 999999999, &count))
        return fail("'wait MS N' needs a whole number of timer messages");
      // A timer comes at most every kShortestTimerPeriod ms.
      if (count > MostTimerMessages(ms))
        return fail("'wait " + parts[0] + " " + parts[1] + "' owes more timer messages than " + parts[0] +
                    " ms can bring (at most " + std::to_string(MostTimerMessages(ms)) + ", one each " +
                    std::to_string(kShortestTimerPeriod) + " ms)");
      if (parts.size() == 4 && !ParseNumber(parts[3], 4294967295LL, &id))
        return fail("'wait MS N CLASS ID' needs the timer's number");
      c.kind = Command::Wait;
      c.x = int(ms);
      c.count = count;
      if (parts.size() == 4) {
        c.timerClass = utf::ToUtf16(parts[2]);
        c.timerId = UINT_PTR(id);
      }
    } else if (word == "clock") {
      long long ms;
      if (parts.size() != 1 || !ParseNumber(parts[0], 4294967295LL, &ms))
        return fail("'clock' needs the reading in milliseconds, from 0 to 4294967295");
      c.kind = Command::Clock;
      c.value = ms;
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

// A recording's held input counts as a script's next line: the message loop,
// finding nothing else to do, asks for it instead of waiting.
bool ScriptLoaded() {
  return g_script.loaded || HoldsInput();
}

namespace {
// A counted wait that found no timer for all of its messages: the replay no
// longer follows the recorded session.
void ReportUnpaidBudget() {
  if (g_script.budget > 0)
    std::fprintf(stderr,
                 "melvoria: script line %d: %lld timer message(s) of the wait had no timer to come from; "
                 "the run no longer follows the recording\n",
                 g_script.budgetLine, static_cast<long long>(g_script.budget));
  g_script.budget = -1;
}
}  // namespace

bool ScriptFailed() {
  return g_scriptFailed;
}

bool ScriptStep() {
  if (Recording()) return ReleaseHeldInput();  // a recorded run has no script
  if (!g_script.loaded) return false;
  ReportUnpaidBudget();
  if (g_script.next >= g_script.commands.size()) return false;
  const Command& c = g_script.commands[g_script.next++];
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
    case Command::KeyDown:
      QueueInput({InputEvent::KeyDown, 0, 0, c.vk});
      break;
    case Command::KeyUp:
      QueueInput({InputEvent::KeyUp, 0, 0, c.vk});
      break;
    case Command::Type:
      for (char16_t ch : c.text) QueueInput({InputEvent::Char, 0, 0, UINT(ch)});
      break;
    case Command::Wait:
      StartWait(c.x);
      if (c.count >= 0) {
        g_script.counting = true;
        g_script.budget = c.count;
        g_script.budgetLine = c.line;
        g_script.budgetClass = c.timerClass;
        g_script.budgetId = c.timerId;
      }
      break;
    case Command::Clock:
      g_script.clockPending = true;
      g_script.clockValue = c.value;
      break;
    case Command::Rotate:
      host::Rotate();
      break;
    case Command::Shot: {
      std::string error;
      if (!host::SaveScreenshot(c.file, &error)) {
        std::fprintf(stderr, "melvoria: script line %d: %s\n", c.line, error.c_str());
        g_scriptFailed = true;
      }
      break;
    }
  }
  return true;
}

std::string ScriptKeyName(UINT vk) {
  for (const KeyName& k : kKeys)
    if (k.vk == vk) return k.name;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    return std::string(1, char(vk >= 'A' ? vk - 'A' + 'a' : vk));
  return "";
}

TimerRule ScriptTimerRule() {
  if (!g_script.counting) return {};
  if (!WaitRunning()) return {TimerRule::Held, {}, 0};
  if (g_script.budget < 0) return {};  // a plain wait: as they fall due
  if (g_script.budget == 0) return {TimerRule::Held, {}, 0};
  return {TimerRule::Counted, g_script.budgetClass, g_script.budgetId};
}

void NoteTimerMessage(const TimerMessage& m) {
  if (g_script.budget > 0 && WaitRunning()) --g_script.budget;
  RecorderNoteTimer(m);
}

std::int64_t ClockReading(std::int64_t now) {
  std::int64_t value = now;
  if (g_script.clockPending) {
    g_script.clockPending = false;
    value = g_script.clockValue;
  } else if (g_script.loaded && g_script.next < g_script.commands.size() &&
             g_script.commands[g_script.next].kind == Command::Clock) {
    // The reading that the line before led to: the recording wrote it after.
    value = g_script.commands[g_script.next++].value;
  }
  RecorderNoteClock(value);
  return value;
}

}  // namespace ce
