// The browser page as the desktop: the device's screen drawn on the page's
// canvas, and the page's input as the stylus, the hard keys and typing.
//
// A page must return to the browser to get anything done, so the program's
// waits (GetMessageW with nothing to do) do: the code is built with Asyncify,
// and a wait awaits a promise that the next timer's setTimeout or the next
// input event resolves. An idle page runs no code at all.
#include <SDL.h>
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "common/utf.h"
#include "device/port.h"
#include "input/input.h"
#include "input/translate.h"
#include "platform/host.h"
#include "present/frame.h"
#include "session/session.h"

namespace ce {

namespace {

// The browser's side of the wait. Module.wakeDevice (the page's pre-js) ends
// the running wait; an event that lands while the program runs (not waiting)
// is remembered, so the next wait returns at once.
// (The JavaScript below is kept from the C++ formatter, which would break it.)
// clang-format off
EM_JS(void, web_wake, (), { Module.wakeDevice(); });
EM_JS(int, web_take_pending, (), {
  const pending = !!Module.melvoriaPending;
  Module.melvoriaPending = false;
  return pending;
});
EM_ASYNC_JS(void, web_wait, (int timeoutMs), {
  await new Promise((resolve) => {
    const timer = timeoutMs >= 0 ? setTimeout(wake, timeoutMs) : null;
    function wake() {
      if (timer !== null) clearTimeout(timer);
      Module.melvoriaWaiter = null;
      resolve();
    }
    Module.melvoriaWaiter = wake;
  });
});

// A turn of the browser's, then the program goes on: a message to ourselves,
// not a timer (nested timers wait 4 ms each). Not while the program is
// suspended: a call of the page's own runs then, and it cannot wait.
EM_JS(int, web_may_yield, (), { return Asyncify.currData ? 0 : 1; });
EM_ASYNC_JS(void, web_yield, (), {
  await new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
});

// Pixels as RGBA bytes into the canvas at (x, y). The context is desynchronized:
// its frames reach the display on their own, which in Chromium spares a commit
// of the whole canvas through the page's compositor at every frame.
EM_JS(void, web_put_pixels, (const std::uint32_t* rgba, int x, int y, int w, int h), {
  const canvas = Module.canvas;
  if (!Module.melvoriaContext || Module.melvoriaContext.canvas !== canvas)
    Module.melvoriaContext = canvas.getContext('2d', {alpha: false, desynchronized: true});
  const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4);
  Module.melvoriaContext.putImageData(new ImageData(bytes, w, h), x, y);
  if (Module.onScreenShown) Module.onScreenShown();
});

// The page's orientation as the device should follow it: 1 landscape,
// 0 portrait, -1 no opinion (a desktop browser: its window is no handheld).
EM_JS(int, web_page_landscape, (), {
  const v = Module.melvoriaLandscape;
  return v === true ? 1 : v === false ? 0 : -1;
});
EM_JS(void, web_toggle_fullscreen, (), {
  if (Module.toggleFullscreen) Module.toggleFullscreen();
});

// A phone shows its on-screen keyboard only for a text field of the page:
// while the device's edit box is on screen, the page keeps one ready.
EM_JS(void, web_text_entry, (int on), {
  if (Module.setTextEntry) Module.setTextEntry(!!on);
});
// clang-format on

bool PointerToDevice(int px, int py, int* x, int* y);

struct Page {
  SDL_Window* window = nullptr;
  bool hidden = false;
  bool textEntry = false;
  std::int64_t lastPresent = -1000;
  std::int64_t lastWake = 0;   // when the last wait ended
  bool browserHadTurn = true;  // input may have come since SDL was last asked
  int pageLandscape = -1;      // as last seen; a change turns the device
  frame::Shown shown;          // what the canvas shows
  input::Translator input{PointerToDevice};
  std::vector<std::uint32_t> rgba;  // what goes to the canvas, RGBA
};
Page g_page;

// The program's start (StartStep).
struct Start {
  bool running = true;  // the program has not waited yet
  double since = 0;     // when the browser last had a turn (emscripten_get_now)
};
Start g_start;

constexpr int kFrameMs = 16;

// The canvas holds the device's pixels one for one.
bool PointerToDevice(int px, int py, int* x, int* y) {
  const Surface& screen = ScreenSurface();
  *x = px;
  *y = py;
  return px >= 0 && py >= 0 && px < screen.width && py < screen.height;
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_HIDDEN) {
        g_page.hidden = true;
      } else if (e.window.event == SDL_WINDOWEVENT_SHOWN) {
        g_page.hidden = false;
        SetScreenDirty(true);
      }
      break;
    default:
      // The stylus, keys, typing and pads (through the browser's gamepad
      // interface); F11, Alt+Enter and Ctrl+R are the page's.
      if (g_page.input.Take(e) == input::HostAction::ToggleFullScreen) web_toggle_fullscreen();
      break;
  }
}

void PollEvents() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleEvent(e);
}

// Called as the page's event handlers queue each event. SDL's own marker of
// a poll is no news: waking for it would never let the page sleep.
int SDLCALL WakeOnEvent(void*, SDL_Event* e) {
  if (e->type != SDL_POLLSENTINEL) web_wake();
  return 0;
}

// Typed characters go to the edit box on screen, wherever the focus is.
void FollowTextEntry() {
  bool editing = EditBoxShown();
  if (editing == g_page.textEntry) return;
  g_page.textEntry = editing;
  web_text_entry(editing ? 1 : 0);
}

// The device follows the page when a phone or tablet turns.
void FollowPageOrientation() {
  int landscape = web_page_landscape();
  if (landscape < 0 || landscape == g_page.pageLandscape) return;
  g_page.pageLandscape = landscape;
  Surface& screen = ScreenSurface();
  if ((screen.width > screen.height) != (landscape == 1)) TurnFromDesktop();
}

// Sends the parts of the screen that differ from what the canvas shows (the
// desktop window's own reckoning of them, frame.h).
void Present() {
  Surface& screen = ScreenSurface();
  SetScreenDirty(false);
  g_page.lastPresent = RealClockMs();
  for (const RECT& r : g_page.shown.Take(screen, ScreenWrites().Take())) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    g_page.rgba.resize(std::size_t(w) * h);
    std::uint32_t* out = g_page.rgba.data();
    for (int y = r.top; y < r.bottom; ++y) {
      if ((y - r.top) % 64 == 63) StartStep();  // the first frame is the whole screen
      const std::uint32_t* row = screen.row(y);
      // 0x00RRGGBB to the bytes R, G, B, 255 (WebAssembly is little-endian).
      for (int x = r.left; x < r.right; ++x) {
        std::uint32_t p = row[x];
        *out++ = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
      }
    }
    web_put_pixels(g_page.rgba.data(), r.left, r.top, w, h);
  }
}

}  // namespace

// The program's start runs in tasks of a few milliseconds: in one go it would
// hold the page for long (on a slow phone, over a second), deaf to the player.
// After its first wait the program returns to the browser only at its waits,
// so that input never lands in the middle of a frame.
constexpr double kStartStepMs = 4;

void StartStep() {
  if (!g_start.running || emscripten_get_now() - g_start.since < kStartStepMs || !web_may_yield()) return;
  web_yield();
  g_page.browserHadTurn = true;
  g_start.since = emscripten_get_now();
}

void HostEnter() {
  g_start.since = emscripten_get_now();
  SDL_SetMainReady();
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

// The page keeps no frame log.
bool DesktopFrameLogOpen(std::string*) {
  return true;
}

bool DesktopProbe(std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  StartStep();
  return true;
}

bool DesktopOpen(std::string* error) {
  if (g_page.window || host::CurrentOptions().headless) return true;
  StartStep();
  // Our waits (and the start's steps) are the only places that return to the
  // browser: SDL's own would let input land in the middle of a frame.
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "1");  // the finger is the stylus
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  StartStep();
  // The canvas holds the device's pixels one for one; the page scales it.
  Surface& screen = ScreenSurface();
  g_page.window = SDL_CreateWindow(utf::ToUtf8(host::Program().windowClass).c_str(), 0, 0, screen.width,
                                   screen.height, 0);
  if (!g_page.window) {
    *error = SDL_GetError();
    return false;
  }
  SDL_AddEventWatch(WakeOnEvent, nullptr);
  SDL_StartTextInput();
  StartStep();
  DesktopInputOpen();
  StartStep();
  FollowPageOrientation();
  SetScreenDirty(true);
  return true;
}

void DesktopClose() {
  if (g_page.window) {
    DesktopInputClose();
    SDL_DelEventWatch(WakeOnEvent, nullptr);
    SDL_DestroyWindow(g_page.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }
  g_page = Page{};
}

void DesktopScreenResized() {
  if (!g_page.window) return;
  Surface& screen = ScreenSurface();
  SDL_SetWindowSize(g_page.window, screen.width, screen.height);  // a new canvas size clears it
  g_page.shown.Reset();
  SetScreenDirty(true);
}

void DesktopRaise() {}

void RequestRaiseFromOtherThread() {}

void DesktopPresentIfDue() {
  if (!g_page.window) return;
  // Input reaches SDL only in the browser's event handlers, which run only
  // while the program has handed the browser its turn: SDL (and through it
  // the pads) is asked once after each, not at every message.
  if (g_page.browserHadTurn) {
    g_page.browserHadTurn = false;
    PollEvents();
    FollowPageOrientation();
  }
  FollowTextEntry();
  if (ScreenDirty() && !g_page.hidden && RealClockMs() - g_page.lastPresent >= kFrameMs) {
    StartStep();
    Present();
  }
}

void DesktopWait(std::int64_t deadlineMs) {
  g_start.running = false;
  // Timers wake the page once a display frame at most, as they do the desktop
  // window: the ticks that fell due meanwhile all run then, one after another
  // (the device drops a timer's ticks only eight periods late). Each wake is a
  // browser task and a round of Asyncify, which cost more than the tick.
  std::int64_t until = deadlineMs;
  if (until >= 0) until = std::max(until, std::max(g_page.lastPresent, g_page.lastWake) + kFrameMs);
  if (g_page.window && ScreenDirty() && !g_page.hidden) {
    std::int64_t frame = g_page.lastPresent + kFrameMs;
    if (until < 0 || frame < until) until = frame;
  }
  if (!web_take_pending()) {
    std::int64_t now = RealClockMs();
    web_wait(until < 0 ? -1 : int(std::max<std::int64_t>(0, until - now)));
  }
  g_page.lastWake = RealClockMs();
  g_page.browserHadTurn = true;
  DesktopPresentIfDue();
}

}  // namespace ce

// What the page's text field takes from an on-screen keyboard, which gives
// text and edits rather than keys: typed text, and the keys Backspace (8)
// and Enter (13) pressed and released.
extern "C" EMSCRIPTEN_KEEPALIVE void melvoria_type_text(const char* utf8) {
  ce::QueueTypedText(utf8);
}
extern "C" EMSCRIPTEN_KEEPALIVE void melvoria_press_key(int vk) {
  ce::QueueInput({ce::InputEvent::KeyDown, 0, 0, ce::UINT(vk)});
  ce::QueueInput({ce::InputEvent::KeyUp, 0, 0, ce::UINT(vk)});
}
