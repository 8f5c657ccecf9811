// The script reader, with the lines a recording writes (`wait MS N`,
// `wait MS N CLASS ID`, `clock MS`, `keydown`, `keyup`, `char`): the input is
// loaded as MELVORIA_SCRIPT would be, and a script that loads is run on
// virtual time by a small program of two windows and two timers, for a
// bounded number of messages. A script that writes screenshots is only read.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz.h"
#include "platform/host.h"
#include "session/session.h"

namespace ce {
bool LoadScript(const std::string& path, std::string* error);
}

using namespace ce;

namespace {

constexpr int kMessages = 300;  // the most a run of one input takes

int g_fd = -1;
std::string g_path;
HWND g_main = nullptr;
HWND g_second = nullptr;
int g_ticks = 0;

LRESULT ToyProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (w != g_main) return 0;
      // A second timer comes and goes, and the clock is read as the game reads it.
      if (++g_ticks % 7 == 0) SetTimer(g_second, 2, 10, nullptr);
      if (g_ticks % 11 == 0) KillTimer(g_second, 2);
      if (g_ticks % 5 == 0) GetTickCount();
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w, &ps);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (w == g_main) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(w, msg, wParam, lParam);
  }
}

// Whether some line starts with `shot` (which would write a file anywhere).
bool WritesFiles(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t start = text.find_first_not_of(" \t", at);
    if (start == std::string::npos) break;
    if (text.compare(start, 4, "shot") == 0) return true;
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
  return false;
}

void Run() {
  host::Options o;
  // A small screen: each input starts the device afresh.
  o.screenWidth = 48;
  o.screenHeight = 64;
  host::Start(o);
  g_ticks = 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ToyProc;
  wc.lpszClassName = u"Toy";
  RegisterClassW(&wc);
  g_main = CreateWindowExW(0, u"Toy", u"", WS_VISIBLE, 0, 0, 48, 64, nullptr, 0, nullptr, nullptr);
  g_second = CreateWindowExW(0, u"Toy", u"", WS_VISIBLE, 8, 8, 16, 16, nullptr, 0, nullptr, nullptr);
  SetTimer(g_main, 1, 4, nullptr);
  MSG m;
  for (int i = 0; i < kMessages && GetMessageW(&m, nullptr, 0, 0); ++i) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UseOwnDataFolder();
  g_fd = ::memfd_create("script", MFD_CLOEXEC);
  FUZZ_CHECK(g_fd >= 0);
  g_path = "/proc/self/fd/" + std::to_string(g_fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_CHECK(::ftruncate(g_fd, 0) == 0);
  FUZZ_CHECK(::pwrite(g_fd, data, size, 0) == ssize_t(size));
  std::string error;
  const bool loaded = LoadScript(g_path, &error);
  FUZZ_CHECK(loaded == error.empty());
  // The message names the script and its line.
  if (!loaded) FUZZ_CHECK(error.compare(0, 10 + g_path.size(), "melvoria: " + g_path) == 0);
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (loaded && !WritesFiles(text)) Run();
  LoadScript("/dev/null", &error);  // no script left for the next input
  return 0;
}
