// The desktop window that shows the device's screen, and the input it takes.
#include <SDL.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/utf.h"
#include "desktop/desktop.h"
#include "device/port.h"
#include "input/input.h"
#include "input/translate.h"
#include "platform/host.h"
#include "present/frame.h"

namespace ce {

namespace {
bool PointerToDevice(int px, int py, int* x, int* y);

struct Desktop {
  SDL_Window* window = nullptr;
  // A renderer only when SDL_RENDER_DRIVER names one (or the window's surface
  // cannot be had); otherwise the window's surface, drawn here.
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int texW = 0;
  int texH = 0;
  frame::Scaler scaler;
  frame::Shown shown;
  std::vector<std::uint32_t> converted;  // for a surface of another pixel format
  bool whole = true;                     // the next frame draws all, bars too
  bool wholeAgain = false;               // that frame repeats the one before
  int pixelW = 0, pixelH = 0, pointW = 0, pointH = 0;
  std::int64_t lastFrame = -1000;
  std::int64_t lastPoll = 0;
  std::int64_t lastWake = 0;
  std::int64_t lastCheck = 0;  // when EventsDue last looked at the display
  int frameMs = 16;
  bool fullscreen = false;
  bool textInput = false;
  std::int64_t framesPresented = 0;
  int failDraws = 0;              // tests: draws that fail as a lost surface does
  std::FILE* frameLog = nullptr;  // MELVORIA_FRAME_LOG
  input::Translator input{PointerToDevice};
};
Desktop g_desk;
std::atomic<bool> g_raiseRequested{false};
std::mutex g_wakeMutex;
std::condition_variable g_wake;
// The event that wakes the desktop's wait for a raise asked from the one-copy
// listener thread; kNoEvent when SDL had none left to register.
constexpr Uint32 kNoEvent = Uint32(-1);
std::atomic<Uint32> g_wakeEvent{kNoEvent};

void SetIcon() {
  auto pic = ProgramIcon();
  if (!pic) return;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, pic->width, pic->height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  for (int y = 0; y < pic->height; ++y) {
    auto* dst = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < pic->width; ++x) {
      std::uint32_t p = pic->row(y)[x];
      dst[x] = p == 0xFFCCFF ? 0u : (0xFF000000u | p);  // the key colour is transparent
    }
  }
  SDL_SetWindowIcon(g_desk.window, s);
  SDL_FreeSurface(s);
}

// Room left around the picture for a window's frame and title bar.
constexpr int kFrameW = 16, kFrameH = 48;
// How often the display's events are taken while the program is busy, when
// the display's connection cannot be watched.
constexpr int kPollMs = 4;
// SDL's own periodic work (a pad plugged in, the screen saver) done at least
// this often while the program is awake anyway.
constexpr int kPumpAnywayMs = 250;
// A wait with nothing to wait for still ends this often, for SDL to find a
// pad plugged in (its own wait does the same).
constexpr int kLookForPadsMs = 3000;
// Timers wake the window at least this often, whatever the display's pace: the
// device drops the ticks of a timer eight periods late (32 ms at 250 a second).
constexpr int kMostTicksWaitMs = 16;

// The X server's connection, when the window is on one: its file (-1
// otherwise), and whether Xlib already holds events read from it.
int DisplayFd();
bool DisplayHasQueued();
void ForgetDisplay();

// Written by other threads to wake the window's wait.
int WakeFd() {
  static const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd;
}
void WakeFromOtherThread() {
  std::uint64_t one = 1;
  if (WakeFd() >= 0 && write(WakeFd(), &one, sizeof one) < 0) {
    // Full: a wake is pending anyway.
  }
}

// The usable area of a display, and its whole size.
void DisplayAreas(int display, SDL_Rect* usable, SDL_Rect* whole) {
  if (display < 0 || SDL_GetDisplayUsableBounds(display, usable) != 0) *usable = SDL_Rect{0, 0, 1280, 960};
  if (display < 0 || SDL_GetDisplayBounds(display, whole) != 0) *whole = *usable;
}

// The screen at the largest size that fits the display in a window: its
// whole zoom, or smaller than zoom 1 when even that does not fit.
frame::Layout WindowFit(int display) {
  Surface& screen = ScreenSurface();
  SDL_Rect usable, whole;
  DisplayAreas(display, &usable, &whole);
  return frame::Fit(screen.width, screen.height, usable.w - kFrameW, usable.h - kFrameH);
}

// A desktop no larger than the device screen at zoom 1 starts full screen.
bool StartsFullScreen(int display) {
  Surface& screen = ScreenSurface();
  SDL_Rect usable, whole;
  DisplayAreas(display, &usable, &whole);
  return whole.w <= screen.width || whole.h <= screen.height;
}

// The window never shrinks below the whole screen at its fitting size.
void SetMinimumSize(const frame::Layout& fit) {
  Surface& screen = ScreenSurface();
  int w = fit.smooth ? fit.DestW() : screen.width, h = fit.smooth ? fit.DestH() : screen.height;
  SDL_SetWindowMinimumSize(g_desk.window, w, h);
}

void FitWindow() {
  int display = std::max(0, SDL_GetWindowDisplayIndex(g_desk.window));
  frame::Layout fit = WindowFit(display);
  SetMinimumSize(fit);
  SDL_SetWindowSize(g_desk.window, fit.DestW(), fit.DestH());
  SDL_SetWindowPosition(g_desk.window, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                        SDL_WINDOWPOS_CENTERED_DISPLAY(display));
}

// The system ends the program (SIGTERM, SIGHUP, SIGINT; the X server
// destroying the window): set from the signal thread or an X error, acted on by
// the loop as a closed window.
std::atomic<bool> g_closeRequested{false};
// The window is gone (destroyed by the X server): nothing more is drawn in it.
std::atomic<bool> g_windowLost{false};

// X11: remembers the window, enables the system's events and takes the X
// errors, so that the window destroyed under the program closes it instead of
// Xlib ending it with exit code 1. Below, after everything, as Xlib's names
// would clash with ours.
void WatchForLostWindow(SDL_Window* window);
// Whether a system event says that the window was destroyed.
bool WindowDestroyed(const SDL_Event& e);

bool Showing() {
  if (g_windowLost) return false;
  return g_desk.window && !(SDL_GetWindowFlags(g_desk.window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
}

// Window size in pixels (the picture) and in points (the pointer's events).
void WindowSizes(int* pixelW, int* pixelH, int* pointW, int* pointH) {
  SDL_GetWindowSize(g_desk.window, pointW, pointH);
  if (g_desk.renderer) {
    if (SDL_GetRendererOutputSize(g_desk.renderer, pixelW, pixelH) != 0) *pixelW = *pointW, *pixelH = *pointH;
  } else if (SDL_Surface* s = SDL_GetWindowSurface(g_desk.window)) {
    *pixelW = s->w;
    *pixelH = s->h;
  } else {
    *pixelW = *pointW;
    *pixelH = *pointH;
  }
}

// The device pixel under a pointer event's window point; false on a bar.
bool PointerToDevice(int px, int py, int* x, int* y) {
  const frame::Layout& l = g_desk.scaler.layout();
  int pw = std::max(1, g_desk.pointW), ph = std::max(1, g_desk.pointH);
  // Pixels of the point's middle, for a window whose pixels are not its points.
  int qx = int((2 * std::int64_t(px) + 1) * g_desk.pixelW / (2 * pw));
  int qy = int((2 * std::int64_t(py) + 1) * g_desk.pixelH / (2 * ph));
  if (px < 0) qx = -1;
  if (py < 0) qy = -1;
  return l.ToDevice(qx, qy, x, y);
}

// Window pixels, one a line per frame with the time it was presented (for the
// measurement script and the window test).
void LogFrame(std::int64_t pixels) {
  if (!g_desk.frameLog) return;
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
  std::fprintf(g_desk.frameLog, "%lld %lld %dx%d\n", static_cast<long long>(us),
               static_cast<long long>(pixels), g_desk.pixelW, g_desk.pixelH);
  std::fflush(g_desk.frameLog);
}

constexpr std::int64_t kDrawFailed = -1;

// Whether the window's surface takes our pixels (0xFFRRGGBB) as they are.
bool DirectFormat(const SDL_Surface* s) {
  return s->format->format == SDL_PIXELFORMAT_RGB888 || s->format->format == SDL_PIXELFORMAT_ARGB8888;
}

// The window's surface: drawn in place, only the changed rectangles sent.
// kDrawFailed when nothing or only part was drawn.
std::int64_t DrawToSurface(const std::vector<RECT>& changed, bool whole) {
  SDL_Surface* s = g_desk.failDraws > 0 ? nullptr : SDL_GetWindowSurface(g_desk.window);
  if (!s) return kDrawFailed;
  Surface& screen = ScreenSurface();
  const frame::Layout& l = g_desk.scaler.layout();
  // Another format than ours takes a converted copy.
  bool direct = DirectFormat(s);
  if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return kDrawFailed;
  std::vector<SDL_Rect> sent;
  std::int64_t pixels = 0;
  if (whole) SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 0));
  auto draw = [&](const RECT& area) {
    RECT a = Intersect(area, RECT{0, 0, s->w, s->h});
    a = Intersect(a, l.dest);
    if (RectEmpty(a)) return;
    int w = a.right - a.left, h = a.bottom - a.top;
    if (direct) {
      g_desk.scaler.Draw(screen, a, static_cast<std::uint32_t*>(s->pixels), s->pitch / 4, 0, 0);
    } else {
      g_desk.converted.resize(std::size_t(w) * h);
      g_desk.scaler.Draw(screen, a, g_desk.converted.data(), w, a.left, a.top);
      SDL_ConvertPixels(
          w, h, SDL_PIXELFORMAT_ARGB8888, g_desk.converted.data(), w * 4, s->format->format,
          static_cast<std::uint8_t*>(s->pixels) + a.top * s->pitch + a.left * s->format->BytesPerPixel,
          s->pitch);
    }
    if (!whole) sent.push_back(SDL_Rect{a.left, a.top, w, h});
    pixels += std::int64_t(w) * h;
  };
  if (whole)
    draw(l.dest);
  else
    for (const RECT& r : changed) draw(l.ToWindow(r));
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  if (whole) {
    SDL_UpdateWindowSurface(g_desk.window);
    return std::int64_t(s->w) * s->h;
  }
  if (!sent.empty()) SDL_UpdateWindowSurfaceRects(g_desk.window, sent.data(), int(sent.size()));
  return pixels;
}

constexpr std::int64_t kNotDirect = -2;

// At zoom 1 the window's surface itself is the last frame: what was written
// is compared with it and what differs drawn in one pass, and `shown` is not
// kept (the next frame that needs it starts whole). kNotDirect when the
// surface takes another format than ours.
std::int64_t DrawChangedToSurface(const std::vector<RECT>& written) {
  SDL_Surface* s = g_desk.failDraws > 0 ? nullptr : SDL_GetWindowSurface(g_desk.window);
  if (!s) return kDrawFailed;
  const frame::Layout& l = g_desk.scaler.layout();
  if (!DirectFormat(s) || l.dest.right > s->w || l.dest.bottom > s->h) return kNotDirect;
  if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return kDrawFailed;
  g_desk.shown.Reset();
  std::vector<RECT> changed =
      frame::DrawChanged(ScreenSurface(), written, l, static_cast<std::uint32_t*>(s->pixels), s->pitch / 4);
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  std::vector<SDL_Rect> sent;
  std::int64_t pixels = 0;
  for (const RECT& r : changed) {
    RECT a = l.ToWindow(r);
    sent.push_back(SDL_Rect{a.left, a.top, a.right - a.left, a.bottom - a.top});
    pixels += std::int64_t(a.right - a.left) * (a.bottom - a.top);
  }
  if (!sent.empty()) SDL_UpdateWindowSurfaceRects(g_desk.window, sent.data(), int(sent.size()));
  return pixels;
}

// A renderer: the changed rectangles go into a texture of the device screen
// (scaled by the renderer, nearest neighbour) or, below zoom 1, of the
// picture (scaled here), and the frame is drawn from it. kDrawFailed when a
// part could not be put into the texture.
std::int64_t DrawToRenderer(const std::vector<RECT>& changed, bool whole) {
  if (g_desk.failDraws > 0) return kDrawFailed;
  Surface& screen = ScreenSurface();
  const frame::Layout& l = g_desk.scaler.layout();
  int tw = l.smooth ? l.DestW() : screen.width, th = l.smooth ? l.DestH() : screen.height;
  if (!g_desk.texture || tw != g_desk.texW || th != g_desk.texH) {
    if (g_desk.texture) SDL_DestroyTexture(g_desk.texture);
    g_desk.texture =
        SDL_CreateTexture(g_desk.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, tw, th);
    if (!g_desk.texture) return kDrawFailed;
    SDL_SetTextureScaleMode(g_desk.texture, SDL_ScaleModeNearest);
    g_desk.texW = tw;
    g_desk.texH = th;
    whole = true;
  }
  std::int64_t pixels = 0;
  bool failed = false;
  auto upload = [&](const RECT& device) {
    // Texture rectangle: device pixels, or the picture's pixels from its corner.
    RECT t = l.smooth ? Offset(Intersect(l.ToWindow(device), l.dest), -l.dest.left, -l.dest.top) : device;
    t = Intersect(t, RECT{0, 0, tw, th});
    if (RectEmpty(t)) return;
    SDL_Rect tr{t.left, t.top, t.right - t.left, t.bottom - t.top};
    void* p = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(g_desk.texture, &tr, &p, &pitch) != 0) {
      failed = true;
      return;
    }
    auto* dst = static_cast<std::uint32_t*>(p);
    if (l.smooth) {
      g_desk.scaler.Draw(screen, Offset(t, l.dest.left, l.dest.top), dst, pitch / 4, t.left + l.dest.left,
                         t.top + l.dest.top);
    } else {
      for (int y = t.top; y < t.bottom; ++y) {
        const std::uint32_t* src = screen.row(y) + t.left;
        std::uint32_t* o = dst + std::ptrdiff_t(y - t.top) * (pitch / 4);
        for (int x = 0; x < tr.w; ++x) o[x] = src[x] | 0xFF000000u;
      }
    }
    SDL_UnlockTexture(g_desk.texture);
    RECT shown = Intersect(l.ToWindow(device), l.dest);
    pixels += std::int64_t(shown.right - shown.left) * (shown.bottom - shown.top);
  };
  if (whole)
    upload(RECT{0, 0, screen.width, screen.height});
  else
    for (const RECT& r : changed) upload(r);
  SDL_SetRenderDrawColor(g_desk.renderer, 0, 0, 0, 255);
  SDL_RenderClear(g_desk.renderer);
  SDL_Rect d{l.dest.left, l.dest.top, l.DestW(), l.DestH()};
  SDL_RenderCopy(g_desk.renderer, g_desk.texture, nullptr, &d);
  SDL_RenderPresent(g_desk.renderer);
  if (failed) return kDrawFailed;
  return whole ? std::int64_t(g_desk.pixelW) * g_desk.pixelH : pixels;
}

// One frame: what changed since the last is drawn and sent; nothing when no
// pixel changed. Returns the pixels sent, kDrawFailed when the draw failed.
std::int64_t Frame() {
  Surface& screen = ScreenSurface();
  SetScreenDirty(false);
  g_desk.lastFrame = RealClockMs();
  std::vector<RECT> written = ScreenWrites().Take();
  WindowSizes(&g_desk.pixelW, &g_desk.pixelH, &g_desk.pointW, &g_desk.pointH);
  frame::Layout l = frame::Fit(screen.width, screen.height, g_desk.pixelW, g_desk.pixelH);
  bool whole = g_desk.whole || !l.Same(g_desk.scaler.layout());
  if (whole) {
    if (!l.Same(g_desk.scaler.layout())) g_desk.scaler.Configure(l);
    g_desk.shown.Reset();
  }
  std::int64_t pixels = kNotDirect;
  if (!whole && !g_desk.renderer && !l.smooth && l.zoom == 1) {
    pixels = DrawChangedToSurface(written);
    if (pixels == 0) return 0;
  }
  if (pixels == kNotDirect) {
    std::vector<RECT> changed = g_desk.shown.Take(screen, written);
    if (changed.empty()) return 0;
    pixels = g_desk.renderer ? DrawToRenderer(changed, whole) : DrawToSurface(changed, whole);
  }
  g_desk.whole = false;
  if (pixels == kDrawFailed) {
    // `shown` already holds pixels the window may not: the next frame is whole.
    if (g_desk.failDraws > 0) --g_desk.failDraws;
    g_desk.shown.Reset();
    g_desk.whole = true;
    g_desk.wholeAgain = false;
    return kDrawFailed;
  }
  // A renderer's OpenGL drawable may take the window's new size only at the
  // swap after the one it was resized before: a whole frame is drawn twice.
  g_desk.whole = g_desk.renderer && whole && !g_desk.wholeAgain;
  g_desk.wholeAgain = g_desk.whole;
  ++g_desk.framesPresented;
  LogFrame(pixels);
  if (!g_desk.textInput) {
    // Input methods may take a while to start: after the first frame.
    SDL_StartTextInput();
    g_desk.textInput = true;
  }
  return pixels;
}

void ToggleFullscreen() {
  g_desk.fullscreen = !g_desk.fullscreen;
  SDL_SetWindowFullscreen(g_desk.window, g_desk.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  g_desk.whole = true;
  SetScreenDirty(true);
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:             // the last window closed
    case SDL_APP_TERMINATING:  // the session ends
      CloseProgram();
      break;
    case SDL_SYSWMEVENT:
      if (WindowDestroyed(e)) {
        g_windowLost = true;
        CloseProgram();
      }
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        CloseProgram();
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                 e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                 e.window.event == SDL_WINDOWEVENT_RESTORED || e.window.event == SDL_WINDOWEVENT_MAXIMIZED) {
        // Back on screen, or its pixels lost: the next frame is whole.
        g_desk.whole = true;
        SetScreenDirty(true);
      }
      break;
    default:
      // The stylus, keys, typing and pads; F11, Alt+Enter and Ctrl+R are the window's.
      if (g_desk.input.Take(e) == input::HostAction::ToggleFullScreen) ToggleFullscreen();
      break;
  }
}

void PollEvents() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleEvent(e);
  g_desk.lastPoll = RealClockMs();
}

// What the wait watches: the display, the other threads' wake, the pads.
std::vector<pollfd>& WaitFds() {
  static std::vector<pollfd> fds;
  static std::vector<int> pads;
  fds.clear();
  pads.clear();
  if (DisplayFd() >= 0) fds.push_back(pollfd{DisplayFd(), POLLIN, 0});
  if (WakeFd() >= 0) fds.push_back(pollfd{WakeFd(), POLLIN, 0});
  PadWaitFds(&pads);
  for (int fd : pads) fds.push_back(pollfd{fd, POLLIN, 0});
  return fds;
}

// Waits up to timeoutMs (-1: no end) for something to read; true when there is.
bool WaitReadable(int timeoutMs) {
  std::vector<pollfd>& fds = WaitFds();
  int n = poll(fds.data(), nfds_t(fds.size()), timeoutMs);
  if (n <= 0) return false;
  for (const pollfd& p : fds)
    if (p.fd == WakeFd() && (p.revents & POLLIN)) {
      std::uint64_t count;
      if (read(WakeFd(), &count, sizeof count) < 0) {
        // Taken by an earlier read.
      }
    }
  return true;
}

// Whether SDL has events to take, looked at every kPollMs while the program
// is busy (a wait looks at once). Without a display to watch, taken every kPollMs.
bool EventsDue(std::int64_t now) {
  std::int64_t since = now - g_desk.lastPoll;
  if (DisplayFd() < 0) return since >= kPollMs;
  if (since >= kPumpAnywayMs || (PadsPolled() && since >= g_desk.frameMs)) return true;
  if (now - g_desk.lastCheck < kPollMs) return false;
  g_desk.lastCheck = now;
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) || DisplayHasQueued()) return true;
  return WaitReadable(0);
}
}  // namespace

bool DesktopProbe(std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  return true;
}

bool DesktopFrameLogOpen(std::string* error) {
  const char* log = std::getenv("MELVORIA_FRAME_LOG");
  if (!log || !*log || g_desk.frameLog) return true;
  g_desk.frameLog = std::fopen(log, "a");
  if (!g_desk.frameLog) {
    *error =
        std::string("cannot write the frame log MELVORIA_FRAME_LOG=") + log + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool DesktopOpen(std::string* error) {
  if (g_desk.window || host::CurrentOptions().headless) return true;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_HIGHDPI_DISABLED, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "1");  // the finger is the stylus
  // The window's own surface, not one SDL makes of a renderer (without a GPU
  // that renderer is the software OpenGL stack: slow to start, big, and dear
  // for every frame). An environment variable of that name still decides.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  // Made at its size from the start (SDL_WINDOWPOS_CENTERED is display 0), or
  // full screen on a desktop no larger than the device screen.
  frame::Layout fit = WindowFit(0);
  g_desk.fullscreen = StartsFullScreen(0);
  g_desk.window = SDL_CreateWindow(utf::ToUtf8(host::Program().windowClass).c_str(), SDL_WINDOWPOS_CENTERED,
                                   SDL_WINDOWPOS_CENTERED, fit.DestW(), fit.DestH(),
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN);
  if (!g_desk.window) {
    *error = SDL_GetError();
    return false;
  }
  const char* driver = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if ((driver && *driver) || !SDL_GetWindowSurface(g_desk.window)) {
    g_desk.renderer = SDL_CreateRenderer(g_desk.window, -1, 0);
    if (!g_desk.renderer) {
      *error = SDL_GetError();
      SDL_DestroyWindow(g_desk.window);
      g_desk.window = nullptr;
      return false;
    }
  }
  // The minimum size and then full screen once the renderer is made (an
  // OpenGL one makes the window anew): SDL gives no minimum to a full-screen
  // window, and keeps it through full screen and back.
  SetMinimumSize(fit);
  if (g_desk.fullscreen) SDL_SetWindowFullscreen(g_desk.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_DisplayMode mode;
  int display = SDL_GetWindowDisplayIndex(g_desk.window);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    g_desk.frameMs = std::max(1, 1000 / mode.refresh_rate);
  SetIcon();
  DesktopInputOpen();
  SDL_ShowWindow(g_desk.window);
  WatchForLostWindow(g_desk.window);
  // Registered once: the listener thread may read it at any time.
  if (g_wakeEvent.load() == kNoEvent) g_wakeEvent = SDL_RegisterEvents(1);
  g_desk.whole = true;
  SetScreenDirty(true);
  return true;
}

void DesktopClose() {
  // A window the X server destroyed is left alone: SDL would wait for ever to
  // see it unmapped. The process ends next.
  const bool lost = g_windowLost.exchange(false);
  if (g_desk.window) DesktopInputClose();
  if (g_desk.textInput && !lost) SDL_StopTextInput();
  if (g_desk.texture) SDL_DestroyTexture(g_desk.texture);
  if (g_desk.renderer) SDL_DestroyRenderer(g_desk.renderer);
  if (g_desk.window && !lost) SDL_DestroyWindow(g_desk.window);
  ForgetDisplay();
  if (g_desk.window && !lost) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  if (g_desk.frameLog) std::fclose(g_desk.frameLog);
  ScreenWrites().Clear();
  g_desk = Desktop{};
}

void DesktopScreenResized() {
  if (!g_desk.window) return;
  // Full screen, the window keeps the size and minimum it had.
  if (!g_desk.fullscreen) FitWindow();
  g_desk.whole = true;
  SetScreenDirty(true);
}

std::int64_t DesktopFrameNow() {
  if (!g_desk.window) return 0;
  return Frame();
}

void DesktopFailDraws(int count) {
  g_desk.failDraws = count;
}

void StartStep() {}

void DesktopRaise() {
  if (!g_desk.window) return;
  SDL_RestoreWindow(g_desk.window);
  SDL_RaiseWindow(g_desk.window);
}

// Called from the one-copy listener thread.
void RequestRaiseFromOtherThread() {
  g_raiseRequested = true;
  // Without its event the raise comes with the next desktop event.
  if (Uint32 wake = g_wakeEvent.load(); wake != kNoEvent) {
    SDL_Event e{};
    e.type = wake;
    SDL_PushEvent(&e);
  }
  WakeFromOtherThread();
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  g_wake.notify_all();
}

void DesktopPresentIfDue() {
  if (g_raiseRequested.exchange(false)) DesktopRaise();
  if (g_closeRequested.exchange(false)) CloseProgram();
  if (!g_desk.window) return;
  std::int64_t now = RealClockMs();
  if (EventsDue(now)) PollEvents();
  if (!ScreenDirty() && !g_desk.whole) return;
  if (!Showing()) {
    // Nothing is drawn while no one sees it; the frame that shows it again is whole.
    ScreenWrites().Clear();
    SetScreenDirty(false);
    g_desk.whole = true;
    return;
  }
  // A millisecond early still counts: the wait's clock has no finer grain.
  if (now - g_desk.lastFrame >= g_desk.frameMs - 1) Frame();
}

void DesktopWait(std::int64_t deadlineMs) {
  std::int64_t now = RealClockMs();
  if (!g_desk.window) {
    std::unique_lock<std::mutex> lock(g_wakeMutex);
    if (deadlineMs < 0)
      g_wake.wait(lock, [] { return g_raiseRequested.load() || g_closeRequested.load(); });
    else if (deadlineMs > now)
      g_wake.wait_for(lock, std::chrono::milliseconds(deadlineMs - now),
                      [] { return g_raiseRequested.load() || g_closeRequested.load(); });
    return;
  }
  // Timers wake the window once a display frame at most: the ticks that fell
  // due meanwhile all come then, one after another (the device keeps each
  // tick; only a wait of eight periods loses any).
  std::int64_t until = deadlineMs;
  if (until >= 0)
    until = std::max(until, std::max(g_desk.lastFrame, g_desk.lastWake) + std::min(g_desk.frameMs, kMostTicksWaitMs));
  if ((ScreenDirty() || g_desk.whole) && Showing()) {
    std::int64_t frame = g_desk.lastFrame + g_desk.frameMs;
    if (until < 0 || frame < until) until = frame;
  }
  int timeout = until < 0 ? -1 : int(std::max<std::int64_t>(0, until - now));
  if (DisplayFd() >= 0) {
    // A real wait, whatever pads are open: the display, the other threads and
    // the pads' own files wake it. A pad that can only be polled is polled once
    // a frame.
    if (PadsPolled() && (timeout < 0 || timeout > g_desk.frameMs)) timeout = g_desk.frameMs;
    if (timeout < 0 || timeout > kLookForPadsMs) timeout = kLookForPadsMs;
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) || DisplayHasQueued() || WaitReadable(timeout))
      PollEvents();
    g_desk.lastWake = RealClockMs();
    DesktopPresentIfDue();
    return;
  }
  if (timeout >= 0 && timeout <= kPollMs) {
    // A running game's next tick is this close: sleep to it without asking the
    // display for events, which are taken every kPollMs anyway.
    std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
    g_desk.lastWake = RealClockMs();
    DesktopPresentIfDue();
    return;
  }
  SDL_Event e;
  int got = timeout < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout);
  g_desk.lastPoll = RealClockMs();  // the wait took the display's events
  g_desk.lastWake = g_desk.lastPoll;
  if (got) {
    HandleEvent(e);
    PollEvents();
  }
  DesktopPresentIfDue();
}

void HostEnter() {
  SDL_SetMainReady();
  // SIGTERM, SIGHUP and SIGINT close the program as a closed window does (its
  // game stored), also in a headless run: taken by a thread of ours, started
  // before any other, and not by SDL.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  CatchCloseSignals();
}

// SIGTERM, SIGHUP and SIGINT close the program as a closed window does. They
// are blocked in every thread (this runs before any is started) and taken by
// one thread of their own, so no code runs inside a signal handler.
void CatchCloseSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set, sig);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  std::thread([set] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set, &sig) != 0) continue;
      g_closeRequested = true;
      SDL_Event e{};
      e.type = SDL_USEREVENT;
      SDL_PushEvent(&e);  // fails harmlessly without a window
      WakeFromOtherThread();
      std::lock_guard<std::mutex> lock(g_wakeMutex);
      g_wake.notify_all();
    }
  }).detach();
}

}  // namespace ce

// ---- X11 ----------------------------------------------------------------------------
#include <SDL_syswm.h>
#include <dlfcn.h>

namespace ce {
namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
std::atomic<unsigned long> g_xWindow{0};
Display* g_xDisplay = nullptr;
int (*g_xEventsQueued)(Display*, int) = nullptr;

// An error about our window means that it is gone; others are told and let pass
// (Xlib's own handler would end the program).
int OnXError(Display*, XErrorEvent* error) {
  if (error->resourceid == g_xWindow.load()) {
    g_windowLost = true;
    g_closeRequested = true;
  } else {
    std::fprintf(stderr, "melvoria: X error %d (request %d)\n", error->error_code, error->request_code);
  }
  return 0;
}

// The connection to the X server is gone (a window manager's kill, the server
// ending). Xlib ends the process when this returns, so the close happens here,
// between the program's messages as every X call is: the main window's
// WM_CLOSE stores what a close stores, then the process ends as a close ends.
int OnXConnectionLost(Display*) {
  if (HWND main = MainWindow()) SendMessageW(main, WM_CLOSE, 0, 0);
  std::fflush(nullptr);
  std::_Exit(0);
}
#endif

void WatchForLostWindow(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  g_xWindow = info.info.x11.window;
  using EventsQueued = int (*)(Display*, int);
  g_xEventsQueued = reinterpret_cast<EventsQueued>(dlsym(RTLD_DEFAULT, "XEventsQueued"));
  if (g_xEventsQueued) g_xDisplay = info.info.x11.display;
  // Xlib is SDL's, loaded with it.
  using SetHandler = XErrorHandler (*)(XErrorHandler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(RTLD_DEFAULT, "XSetErrorHandler"))) set(OnXError);
  using SetIOHandler = XIOErrorHandler (*)(XIOErrorHandler);
  if (auto set = reinterpret_cast<SetIOHandler>(dlsym(RTLD_DEFAULT, "XSetIOErrorHandler")))
    set(OnXConnectionLost);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#else
  (void)window;
#endif
}

int DisplayFd() {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (g_xDisplay && !g_windowLost) return ConnectionNumber(g_xDisplay);
#endif
  return -1;
}

void ForgetDisplay() {
#if defined(SDL_VIDEO_DRIVER_X11)
  g_xDisplay = nullptr;
#endif
}

bool DisplayHasQueued() {
#if defined(SDL_VIDEO_DRIVER_X11)
  return g_xDisplay && g_xEventsQueued(g_xDisplay, QueuedAlready) > 0;
#else
  return false;
#endif
}

bool WindowDestroyed(const SDL_Event& e) {
#if defined(SDL_VIDEO_DRIVER_X11)
  const SDL_SysWMmsg* m = e.syswm.msg;
  return m && m->subsystem == SDL_SYSWM_X11 && m->msg.x11.event.type == DestroyNotify &&
         m->msg.x11.event.xdestroywindow.window == g_xWindow.load();
#else
  (void)e;
  return false;
#endif
}

}  // namespace
}  // namespace ce
