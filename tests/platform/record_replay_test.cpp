// A session recorded on the real clock replays on virtual time with the same
// messages in the same order and the same clock readings; and the script lines
// that make that so: counted waits, clock readings, keys pressed and let go
// apart, characters by number.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/world.h"
#include "platform/host.h"
#include "session/session.h"

namespace ce {
bool LoadScript(const std::string& path, std::string* error);
void RequestRaiseFromOtherThread();
}  // namespace ce

using namespace ce;
namespace fs = std::filesystem;

namespace {

// ---- a small program driven as the game is ------------------------------------------

// It notes every message it gets. Playing live, it also gets input the way the
// desktop gives it: in the middle of things, with a paint still to come.
struct Toy {
  bool live = false;
  std::vector<std::string> trace;
  int ticks = 0;
  int paints = 0;
  HWND main = nullptr;
  HWND second = nullptr;
};
Toy g_toy;

void Note(HWND w, const std::string& what) {
  g_toy.trace.push_back((w == g_toy.main ? "main " : "second ") + what);
}

// What a player does, by the main timer's tick.
void Play(int tick) {
  switch (tick) {
    case 3:
      host::StylusDown(10, 20);
      host::StylusUp(10, 20);
      break;
    case 6:
      host::StylusDown(30, 40);
      break;
    case 8:
      host::StylusMove(-3, 45);  // dragged off the screen's edge
      break;
    case 9:
      host::StylusUp(-3, 45);
      break;
    case 12:
      host::KeyDown(VK_UP);
      break;
    case 15:
      host::KeyUp(VK_UP);
      host::KeyDown(VK_RETURN);
      host::KeyUp(VK_RETURN);
      break;
    case 22:
      host::TypeText(u"a b\U0001F600");
      break;
    case 30:
    case 33:
      TurnFromDesktop();
      break;
    case 50:
      // The machine stalls: the late timer's messages then come in a burst,
      // more than the milliseconds after the next line allow by themselves.
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      host::KeyDown(VK_DOWN);
      host::KeyUp(VK_DOWN);
      break;
    default:
      break;
  }
}

LRESULT ToyProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      Note(w, "timer " + std::to_string(wParam));
      if (w != g_toy.main) return 0;
      ++g_toy.ticks;
      InvalidateRect(w, nullptr, FALSE);
      if (g_toy.live) Play(g_toy.ticks);
      // A second timer runs for a while, and the first is set again.
      if (g_toy.ticks == 20) SetTimer(g_toy.second, 2, 10, nullptr);
      if (g_toy.ticks == 40) KillTimer(g_toy.second, 2);
      if (g_toy.ticks == 45) SetTimer(g_toy.main, 1, 6, nullptr);
      if (g_toy.ticks == 70) PostMessageW(g_toy.main, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w, &ps);
      EndPaint(w, &ps);
      Note(w, "paint");
      // The game reads the clock while painting (it seeds its random numbers).
      if (++g_toy.paints % 9 == 0) Note(w, "clock " + std::to_string(GetTickCount()));
      if (g_toy.live && g_toy.paints == 14) {
        host::KeyDown('A');
        host::KeyUp('A');
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      Note(w, std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
      return 0;
    case WM_SETTINGCHANGE:
      Note(w, "turned");
      return 0;
    case WM_DESTROY:
      if (w == g_toy.main) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(w, msg, wParam, lParam);
  }
}

void RunToy(bool live) {
  g_toy = Toy{};
  g_toy.live = live;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ToyProc;
  wc.lpszClassName = u"Toy";
  RegisterClassW(&wc);
  g_toy.main = CreateWindowExW(0, u"Toy", u"", WS_VISIBLE, 0, 0, 100, 100, nullptr, 0, nullptr, nullptr);
  g_toy.second = CreateWindowExW(0, u"Toy", u"", WS_VISIBLE, 100, 100, 50, 50, nullptr, 0, nullptr, nullptr);
  SetTimer(g_toy.main, 1, 4, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

class RecordReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvoria-record-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    StopRecording();
    host::Stop();
    Load("");  // no script left behind for the next test
    fs::remove_all(dir_);
  }

  void Start(bool virtualTime) {
    host::Options o;
    o.screenWidth = 240;
    o.screenHeight = 320;
    o.virtualTime = virtualTime;
    host::Start(o);
  }

  bool Load(const std::string& script, std::string* error = nullptr) {
    fs::path p = dir_ / "run.script";
    std::ofstream(p) << script;
    std::string ignored;
    return LoadScript(p.string(), error ? error : &ignored);
  }

  // Messages a window of class Toy gets while the script runs on virtual time.
  std::vector<std::string> Replay(const std::string& script) {
    Start(true);
    EXPECT_TRUE(Load(script));
    RunToy(false);
    return g_toy.trace;
  }

  fs::path dir_;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(RecordReplayTest, ASessionOnTheRealClockReplaysMessageForMessage) {
  Start(false);
  fs::path recording = dir_ / "session.script";
  std::string error;
  ASSERT_TRUE(StartRecording(recording.string(), &error)) << error;
  RunToy(true);
  StopRecording();
  std::vector<std::string> live = g_toy.trace;
  host::Stop();

  std::string script = Slurp(recording);
  std::vector<std::string> replayed = Replay(script);
  EXPECT_EQ(replayed, live) << script;
  // The run met what makes it hard: two timers at once, readings of the
  // clock, a tap, a drag off the edge, a space, a turned device.
  for (const char* line : {"Toy 2\n", "\nclock ", "\ntap 10 20\n", "\nmove 65533 45\n", "\nchar 32\n",
                           "\nrotate\n", "\nkey enter\n", "\nkeydown up\n"})
    EXPECT_NE(script.find(line), std::string::npos) << line << " is not in\n" << script;
}

// A disk that fills while recording: the file keeps whole lines only, and
// replays up to where it stopped.
TEST_F(RecordReplayTest, ARecordingCutShortByAFullDiskStillReplays) {
  Start(false);
  fs::path recording = dir_ / "session.script";
  std::string error;
  ASSERT_TRUE(StartRecording(recording.string(), &error)) << error;
  // The file may grow by a few lines more (the limit stands for the disk).
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = fs::file_size(recording) + 60;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::internal::CaptureStderr();
  RunToy(true);
  StopRecording();
  std::string err = testing::internal::GetCapturedStderr();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  host::Stop();
  EXPECT_NE(err.find("recording stops here"), std::string::npos) << err;

  std::string script = Slurp(recording);
  ASSERT_FALSE(script.empty());
  EXPECT_EQ(script.back(), '\n') << script;
  std::string loadError;
  Start(true);
  EXPECT_TRUE(Load(script, &loadError)) << loadError << "\n" << script;
}

// Input that the window system drops (a stylus move with the stylus up)
// does not keep the held input behind it waiting for some later event.
std::atomic<bool> g_woken{false};
bool g_keyArrivedFirst = false;

LRESULT IdleProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_USER:
      host::StylusMove(5, 5);
      host::KeyDown(VK_UP);
      host::KeyUp(VK_UP);
      return 0;
    case WM_KEYUP:
      g_keyArrivedFirst = !g_woken;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(w, msg, wParam, lParam);
  }
}

TEST_F(RecordReplayTest, HeldInputBehindDroppedInputIsNotLeftWaiting) {
  Start(false);
  std::string error;
  ASSERT_TRUE(StartRecording((dir_ / "idle.script").string(), &error)) << error;
  WNDCLASSW wc{};
  wc.lpfnWndProc = IdleProc;
  wc.lpszClassName = u"Idle";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, u"Idle", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  PostMessageW(w, WM_USER, 0, 0);
  // No timer runs: only the one-copy wake-up (as a second start sends) would
  // end a wait for events, and it comes only if the run is stuck.
  g_woken = false;
  std::mutex m;
  std::condition_variable done;
  bool finished = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!done.wait_for(lock, std::chrono::seconds(5), [&] { return finished; })) {
      g_woken = true;
      RequestRaiseFromOtherThread();
    }
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  {
    std::lock_guard<std::mutex> lock(m);
    finished = true;
  }
  done.notify_all();
  watchdog.join();
  EXPECT_TRUE(g_keyArrivedFirst);
}

// A timer message every 4 ms, and a slow one every 10 s (as the Help page's).
struct Timed {
  std::vector<std::string> fired;  // "fast@MS" / "slow@MS"
};
Timed g_timed;

LRESULT TimedProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    g_timed.fired.push_back((wParam == 9 ? "slow@" : "fast@") + std::to_string(GetTickCount()));
    return 0;
  }
  if (msg == WM_KEYUP) {
    g_timed.fired.push_back("read " + std::to_string(GetTickCount()));
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, msg, wParam, lParam);
}

std::vector<std::string> RunTimed() {
  g_timed = Timed{};
  WNDCLASSW wc{};
  wc.lpfnWndProc = TimedProc;
  wc.lpszClassName = u"Fast";
  RegisterClassW(&wc);
  wc.lpszClassName = u"Slow";
  RegisterClassW(&wc);
  HWND fast = CreateWindowExW(0, u"Fast", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  HWND slow = CreateWindowExW(0, u"Slow", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  SetTimer(fast, 1, 4, nullptr);
  SetTimer(slow, 9, 10000, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return g_timed.fired;
}

TEST_F(RecordReplayTest, CountedWaitsDeliverExactlyTheirTimerMessages) {
  struct Case {
    const char* script;
    std::vector<std::string> fired;
  };
  const Case cases[] = {
      // Five of the twenty-five that fell due, each at its time.
      {"wait 100 5\n", {"fast@4", "fast@8", "fast@12", "fast@16", "fast@20"}},
      // None, though the slow one and many fast ones fell due; then the wait
      // that follows owes two: the late ones at once, in the order they fell due.
      {"wait 10001 0\nwait 4 2\n", {"fast@10001", "slow@10001"}},
      // A wait that names its timer gets that one's message, though another
      // falls due sooner; a plain wait then delivers all that fall due.
      {"wait 10000 1 Slow 9\nwait 8\n", {"slow@10000", "fast@10000", "fast@10004", "fast@10008"}},
      // More than fall due in the time: the rest come at the wait's end.
      {"wait 10 3\n", {"fast@4", "fast@8", "fast@10"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Start(true);
    ASSERT_TRUE(Load(c.script));
    EXPECT_EQ(RunTimed(), c.fired);
    host::Stop();
  }
  // The slow timer comes in a plain wait as before: counted waits change nothing else.
  Start(true);
  ASSERT_TRUE(Load("wait 10001\n"));
  std::vector<std::string> plain = RunTimed();
  EXPECT_EQ(plain.size(), 2501u);
  EXPECT_EQ(std::count(plain.begin(), plain.end(), "slow@10000"), 1);
}

TEST_F(RecordReplayTest, ClockLinesAreWhatTheProgramReads) {
  Start(true);
  // The first reading comes from the line right after the key that led to
  // it; the second has none and reads the clock; a clock line reached before
  // its reading waits for it.
  ASSERT_TRUE(Load("wait 30 0\nkey up\nclock 777\nkey up\nwait 5 0\nclock 4242\nwait 10 0\nkey up\n"));
  std::vector<std::string> fired = RunTimed();
  std::vector<std::string> reads;
  for (const std::string& f : fired)
    if (f.rfind("read ", 0) == 0) reads.push_back(f);
  EXPECT_EQ(reads, (std::vector<std::string>{"read 777", "read 30", "read 4242"}));
  EXPECT_EQ(std::count_if(fired.begin(), fired.end(), [](const std::string& f) { return f[0] != 'r'; }), 0);
}

TEST_F(RecordReplayTest, AWaitOwingMessagesWithNoTimerIsReported) {
  Start(true);
  ASSERT_TRUE(Load("wait 10 3 Nobody 5\n"));
  testing::internal::CaptureStderr();
  RunTimed();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("line 1: 3 timer message(s)"), std::string::npos) << err;
  EXPECT_NE(err.find("no longer follows the recording"), std::string::npos) << err;
}

// Keys and characters reach the window as the script names them.
std::vector<std::string> g_keys;
LRESULT KeysProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_CHAR) {
    const char* kind = msg == WM_KEYDOWN ? "down " : msg == WM_KEYUP ? "up " : "char ";
    g_keys.push_back(kind + std::to_string(wParam));
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, msg, wParam, lParam);
}

// The key and character messages a focused window gets while the loaded script runs.
std::vector<std::string> KeysReplayed() {
  g_keys.clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = KeysProc;
  wc.lpszClassName = u"Keys";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, u"Keys", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  SetFocus(w);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
  return g_keys;
}

TEST_F(RecordReplayTest, KeysAndCharactersGoByNameAndNumber) {
  Start(true);
  ASSERT_TRUE(
      Load("keydown shift\nkeydown a\nkeyup a\nkeyup shift\nkey space\nchar 32\ntype x\nchar 128512\n"));
  EXPECT_EQ(KeysReplayed(),
            (std::vector<std::string>{"down 16", "down 65", "up 65", "up 16", "down 32", "up 32", "char 32",
                                      "char 120", "char 55357", "char 56832"}));
}

// A recording whose last line was cut (as by a crash in the middle of a
// write) replays what comes before it; the cut line is reported.
TEST_F(RecordReplayTest, ACutLastLineIsReportedAndTheRestReplays) {
  struct Case {
    const char* script;
    bool loads;
    bool cut;  // reported as cut
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"key up\nkey do", true, true, {"down 38", "up 38"}},
      {"key up\ntap 10", true, true, {"down 38", "up 38"}},
      // Whole, or a last line that is complete without its newline: as before.
      {"key up\nkey do\n", false, false, {}},
      {"key up\nkey down", true, false, {"down 38", "up 38", "down 40", "up 40"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Start(true);
    std::string error;
    testing::internal::CaptureStderr();
    bool loaded = Load(c.script, &error);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(loaded, c.loads) << error;
    if (!loaded) {
      EXPECT_NE(error.find(":2:"), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(err.find(":2: the last line is cut short") != std::string::npos, c.cut) << err;
    EXPECT_EQ(KeysReplayed(), c.keys);
    host::Stop();
  }
}

TEST_F(RecordReplayTest, MalformedNewLinesStopTheScriptWithTheirNumber) {
  using namespace std::string_literals;  // lines holding a NUL
  struct Case {
    std::string line;
    const char* reason;
  };
  const Case cases[] = {
      {"wait 10 x", "timer messages"},
      {"wait 10 2 Toy", "wait MS N CLASS ID"},
      {"wait 10 2 Toy one", "number"},
      {"clock -1", "reading"},
      {"clock 4294967296", "reading"},
      {"char 55296", "surrogate"},
      {"char 0", "character's number"},
      {"keydown home", "unknown key 'home'"},
      {"keyup", "one key name"},
      {"tap -5 10", "whole numbers"},
      // More timer messages than the time can bring (one per 4 ms, and one at once).
      {"wait 1 999999999", "at most 1,"},
      {"wait 10 4", "at most 3,"},
      {"wait 0 2", "at most 1,"},
      // Text that is not UTF-8, or holds a NUL, as `char 0` is refused.
      {"type a\xff", "not UTF-8"},
      {"type \xc3\x28", "not UTF-8"},
      {"type a\0b"s, "NUL"},
      {"shot a\0.png"s, "NUL"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Load("wait 1\n" + c.line + "\n", &error)) << c.line;
    EXPECT_NE(error.find(":2:"), std::string::npos) << c.line << " -> " << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.line << " -> " << error;
  }
}

TEST_F(RecordReplayTest, RecordingNeedsTheWindowAndAWritableFile) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> env;
    bool ok;
  };
  const Case cases[] = {
      {{{"MELVORIA_RECORD", "x.script"}}, true},
      {{{"MELVORIA_RECORD", "x.script"}, {"MELVORIA_HEADLESS", "1"}}, false},
      {{{"MELVORIA_RECORD", "x.script"}, {"MELVORIA_SCRIPT", "y.script"}}, false},
      {{{"MELVORIA_RECORD", "x.script"}, {"MELVORIA_SCRIPT", "y.script"}, {"MELVORIA_HEADLESS", "0"}}, false},
  };
  for (const Case& c : cases) {
    for (const char* v : {"MELVORIA_RECORD", "MELVORIA_HEADLESS", "MELVORIA_SCRIPT"}) ::unsetenv(v);
    for (auto& [k, v] : c.env) ::setenv(k, v, 1);
    host::Options o;
    std::string error;
    EXPECT_EQ(host::OptionsFromEnvironment(&o, &error), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(o.recordPath, "x.script");
    } else {
      EXPECT_NE(error.find("MELVORIA_RECORD"), std::string::npos) << error;
    }
  }
  for (const char* v : {"MELVORIA_RECORD", "MELVORIA_HEADLESS", "MELVORIA_SCRIPT"}) ::unsetenv(v);
  // A file that cannot be made, or that takes nothing (a full device): the
  // reason, nothing else said, and no recorder left on.
  const std::pair<std::string, const char*> files[] = {
      {(dir_ / "no/such/folder/x.script").string(), "No such file"},
      {"/dev/full", "No space left"},
  };
  for (const auto& [file, reason] : files) {
    std::string error;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(StartRecording(file, &error)) << file;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;
    EXPECT_NE(error.find("cannot write the recording " + file + ": " + reason), std::string::npos) << error;
    EXPECT_FALSE(Recording()) << file;
  }
}

}  // namespace
