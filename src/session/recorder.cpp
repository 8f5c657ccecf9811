// MELVORIA_RECORD: the session played in the desktop window, written as it
// goes as a script that replays it exactly on virtual time.
//
// A replay acts only when the program is between messages, and the game is a
// function of the messages it gets and of its readings of the clock. So while
// recording, desktop input waits until the device is between messages, and
// each input line is preceded by `wait MS N`: the real milliseconds since the
// line before and the N timer messages made meanwhile. Each reading of the
// clock (the game seeds its random numbers from it) is written as `clock MS`
// just after the line that led to it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "common/utf.h"
#include "session/session.h"

namespace ce {

namespace {
struct Held {
  bool turn = false;  // the device turned (Ctrl+R)
  InputEvent e{};
};

// Timer messages in a row from one timer.
struct Run {
  HWND window = nullptr;
  std::string windowClass;
  UINT_PTR id = 0;
  long long count = 0;
  bool shared = false;    // another timer ran too: the replay is told which one
  std::int64_t last = 0;  // the clock at its last message
};

struct Recorder {
  bool on = false;
  int fd = -1;
  std::string path;
  std::deque<Held> held;
  std::int64_t lastClock = 0;  // the clock when the last line was placed
  std::vector<Run> runs;       // timer messages made since then
  off_t whole = 0;             // bytes of whole lines written
};
Recorder g_rec;

// Appends one line, whole or not at all: a line the file takes only in part
// (a full disk) is cut off again, since a replay can use no half line. False
// with the error number when the line is not written.
bool WriteLine(const std::string& line, int* err) {
  std::string s = line + "\n";
  std::size_t done = 0;
  while (done < s.size()) {
    ssize_t n = ::write(g_rec.fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *err = n < 0 ? errno : ENOSPC;
      if (done > 0 && ::ftruncate(g_rec.fd, g_rec.whole) != 0) {
        // Not a file that can be cut (a pipe): a replay drops a cut last line.
      }
      return false;
    }
    done += std::size_t(n);
  }
  g_rec.whole += static_cast<off_t>(s.size());
  return true;
}

void Write(const std::string& line) {
  if (g_rec.fd < 0) return;
  int err = 0;
  if (WriteLine(line, &err)) return;
  std::fprintf(stderr, "melvoria: cannot write the recording %s: %s; recording stops here\n",
               g_rec.path.c_str(), std::strerror(err));
  ::close(g_rec.fd);
  g_rec.fd = -1;
}

void WriteWait(std::int64_t until, long long count, const std::string& whose) {
  std::int64_t ms = std::max<std::int64_t>(0, until - g_rec.lastClock);
  // A wait longer than a script's longest goes in pieces, each with the
  // messages it can hold.
  for (; ms > kLongestWait; ms -= kLongestWait) {
    long long part = std::min<long long>(count, MostTimerMessages(kLongestWait));
    count -= part;
    Write("wait " + std::to_string(kLongestWait) + " " + std::to_string(part) + whose);
  }
  g_rec.lastClock = std::max(g_rec.lastClock, until);
  // Messages of a timer that ran late come in a burst, more than the
  // milliseconds since the last line allow a replay: the wait is written as
  // long as they need. Only the clock lines carry the program's readings, so
  // the replay still follows the session.
  if (count > 0) ms = std::max<std::int64_t>(ms, (count - 1) * kShortestTimerPeriod);
  Write("wait " + std::to_string(ms) + " " + std::to_string(count) + whose);
}

// The time and the timer messages since the last line, as counted waits: one
// for each run of messages from one timer, naming the timer when another ran
// too (the replay's timers fall due at other times than the session's did).
void WritePosition(std::int64_t now) {
  if (g_rec.runs.empty()) {
    if (now > g_rec.lastClock) WriteWait(now, 0, "");
    return;
  }
  for (std::size_t i = 0; i < g_rec.runs.size(); ++i) {
    const Run& r = g_rec.runs[i];
    std::string whose;
    if (r.shared && !r.windowClass.empty() && r.windowClass.find_first_of(" \t") == std::string::npos)
      whose = " " + r.windowClass + " " + std::to_string(r.id);
    WriteWait(i + 1 == g_rec.runs.size() ? now : r.last, r.count, whose);
  }
  g_rec.runs.clear();
}

// A point off the screen's left or top edge (a drag that left the window)
// is written as its 16-bit coordinates, which is all the window gets.
std::string Point(const InputEvent& e) {
  return std::to_string(e.x & 0xFFFF) + " " + std::to_string(e.y & 0xFFFF);
}

std::string KeyLine(const char* command, UINT vk) {
  std::string name = ScriptKeyName(vk);
  if (!name.empty()) return std::string(command) + " " + name;
  return "# a key the script cannot name (" + std::to_string(vk) + ") was pressed or let go here";
}

std::string TextLine(const std::u16string& units) {
  // Blanks at the ends of a `type` line do not survive; they go by number.
  if (units.size() == 1 && (units[0] == u' ' || units[0] == u'\t'))
    return "char " + std::to_string(unsigned(units[0]));
  return "type " + utf::ToUtf8(units);
}

bool Next(InputEvent::Kind kind) {
  return !g_rec.held.empty() && !g_rec.held.front().turn && g_rec.held.front().e.kind == kind;
}
}  // namespace

bool StartRecording(const std::string& path, std::string* error) {
  g_rec = Recorder{};
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot write the recording " + path + ": " + std::strerror(errno);
    return false;
  }
  g_rec.fd = fd;
  std::string screen = std::to_string(host::ScreenWidth()) + "x" + std::to_string(host::ScreenHeight());
  const std::string header[] = {
      "# A Melvoria session, recorded on a " + screen + " screen. To replay it, start from a copy of the",
      "# data folder as it was when the session began:",
      "#   MELVORIA_SCREEN=" + screen + " MELVORIA_DATA_DIR=COPY MELVORIA_SCRIPT=THIS-FILE melvoria"};
  for (const std::string& line : header) {
    int err = 0;
    if (!WriteLine(line, &err)) {
      *error = "cannot write the recording " + path + ": " + std::strerror(err);
      ::close(fd);
      g_rec = Recorder{};
      return false;
    }
  }
  g_rec.on = true;
  g_rec.path = path;
  return true;
}

void StopRecording() {
  if (!g_rec.on) return;
  if (!g_rec.runs.empty()) WritePosition(Now());
  if (g_rec.fd >= 0) ::close(g_rec.fd);
  g_rec = Recorder{};
}

bool Recording() {
  return g_rec.on;
}

bool HoldInput(const InputEvent& e) {
  if (!g_rec.on) return false;
  g_rec.held.push_back(Held{false, e});
  return true;
}

void TurnFromDesktop() {
  if (!g_rec.on) {
    host::Rotate();
    return;
  }
  g_rec.held.push_back(Held{true, {}});
}

bool HoldsInput() {
  return !g_rec.held.empty();
}

bool ReleaseHeldInput() {
  if (g_rec.held.empty() || !BetweenMessages()) return false;
  Held h = g_rec.held.front();
  g_rec.held.pop_front();
  WritePosition(Now());
  if (h.turn) {
    Write("rotate");
    host::Rotate();
    return true;
  }
  const InputEvent& e = h.e;
  DeliverInput(e);
  switch (e.kind) {
    case InputEvent::Down:
      // Let go at once (within one look at the desktop's events): a tap.
      if (Next(InputEvent::Up) && g_rec.held.front().e.x == e.x && g_rec.held.front().e.y == e.y) {
        DeliverInput(g_rec.held.front().e);
        g_rec.held.pop_front();
        Write("tap " + Point(e));
      } else {
        Write("down " + Point(e));
      }
      break;
    case InputEvent::Move:
      Write("move " + Point(e));
      break;
    case InputEvent::Up:
      Write("up " + Point(e));
      break;
    case InputEvent::KeyDown:
      if (Next(InputEvent::KeyUp) && g_rec.held.front().e.code == e.code) {
        DeliverInput(g_rec.held.front().e);
        g_rec.held.pop_front();
        Write(KeyLine("key", e.code));
      } else {
        Write(KeyLine("keydown", e.code));
      }
      break;
    case InputEvent::KeyUp:
      Write(KeyLine("keyup", e.code));
      break;
    case InputEvent::Char: {
      std::u16string units(1, char16_t(e.code));
      // A character beyond the first plane comes as two units; they go together.
      if (e.code >= 0xD800 && e.code <= 0xDBFF && Next(InputEvent::Char) &&
          g_rec.held.front().e.code >= 0xDC00 && g_rec.held.front().e.code <= 0xDFFF) {
        units.push_back(char16_t(g_rec.held.front().e.code));
        DeliverInput(g_rec.held.front().e);
        g_rec.held.pop_front();
      }
      Write(TextLine(units));
      break;
    }
  }
  return true;
}

void RecorderNoteTimer(const TimerMessage& m) {
  if (!g_rec.on) return;
  if (g_rec.runs.empty() || g_rec.runs.back().window != m.window || g_rec.runs.back().id != m.id)
    g_rec.runs.push_back(Run{m.window, utf::ToUtf8(m.windowClass), m.id, 0, false, 0});
  Run& r = g_rec.runs.back();
  ++r.count;
  r.shared = r.shared || m.otherTimers;
  r.last = Now();
}

void RecorderNoteClock(std::int64_t value) {
  if (!g_rec.on) return;
  // After timer messages the reading has its own place; right after an input
  // line it belongs to that line.
  if (!g_rec.runs.empty()) WritePosition(value);
  Write("clock " + std::to_string(value));
}

}  // namespace ce
