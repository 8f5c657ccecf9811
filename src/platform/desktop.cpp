// The desktop window that shows the device's screen, and the input it takes.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/utf.h"
#include "platform/wm.h"

namespace ce {

namespace {
struct Desktop {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int texW = 0;
  int texH = 0;
  std::int64_t lastPresent = -1000;
  std::int64_t lastPoll = 0;
  int frameMs = 16;
  bool fullscreen = false;
  // Keys pressed for the window itself, not yet released: none of their
  // messages reaches the game.
  std::array<bool, SDL_NUM_SCANCODES> windowKeys{};
};
Desktop g_desk;
std::atomic<bool> g_raiseRequested{false};
std::mutex g_wakeMutex;
std::condition_variable g_wake;
Uint32 g_wakeEvent = 0;

const auto g_clockStart = std::chrono::steady_clock::now();

UINT VirtualKey(SDL_Keycode k) {
  switch (k) {
    case SDLK_UP:
    case SDLK_KP_8:
      return VK_UP;
    case SDLK_DOWN:
    case SDLK_KP_2:
      return VK_DOWN;
    case SDLK_LEFT:
    case SDLK_KP_4:
      return VK_LEFT;
    case SDLK_RIGHT:
    case SDLK_KP_6:
      return VK_RIGHT;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_KP_5:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
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

// Typed text as WM_CHARs of UTF-16 units; control characters come as keys.
void AppendUtf8AsChars(const char* s) {
  std::vector<char32_t> cps;
  utf::DecodeUtf8(s, &cps);
  for (char32_t c : cps) {
    if (c < 0x20 || c == 0x7F) continue;
    std::u16string units;
    utf::AppendUtf16(c, &units);
    for (char16_t u : units) QueueInput({InputEvent::Char, 0, 0, UINT(u)});
  }
}

void SetIcon() {
  const ResourceInfo* r = FindEmbedded(425, "ICON");
  if (!r) return;
  auto pic = DecodeBmp(r->data, r->size);
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

// The largest whole zoom at which the screen fits the display, with room for
// the window's frame.
int ZoomFor(int display) {
  Surface& screen = ScreenSurface();
  SDL_Rect usable{0, 0, 1280, 960};
  if (display < 0 || SDL_GetDisplayUsableBounds(display, &usable) != 0) usable = SDL_Rect{0, 0, 1280, 960};
  return std::max(
      1, std::min((usable.w - 16) / std::max(1, screen.width), (usable.h - 48) / std::max(1, screen.height)));
}

void FitWindow() {
  Surface& screen = ScreenSurface();
  int display = std::max(0, SDL_GetWindowDisplayIndex(g_desk.window));
  int zoom = ZoomFor(display);
  SDL_SetWindowSize(g_desk.window, screen.width * zoom, screen.height * zoom);
  SDL_SetWindowPosition(g_desk.window, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                        SDL_WINDOWPOS_CENTERED_DISPLAY(display));
}

void MakeTexture() {
  Surface& screen = ScreenSurface();
  if (g_desk.texture) SDL_DestroyTexture(g_desk.texture);
  g_desk.texture = SDL_CreateTexture(g_desk.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     screen.width, screen.height);
  g_desk.texW = screen.width;
  g_desk.texH = screen.height;
  SDL_RenderSetLogicalSize(g_desk.renderer, screen.width, screen.height);
  SDL_RenderSetIntegerScale(g_desk.renderer, SDL_TRUE);
}

void Present() {
  Surface& screen = ScreenSurface();
  if (screen.width != g_desk.texW || screen.height != g_desk.texH) MakeTexture();
  if (!g_desk.texture) return;
  SDL_UpdateTexture(g_desk.texture, nullptr, screen.pixels.data(), int(screen.width * sizeof(std::uint32_t)));
  SDL_SetRenderDrawColor(g_desk.renderer, 0, 0, 0, 255);
  SDL_RenderClear(g_desk.renderer);
  SDL_RenderCopy(g_desk.renderer, g_desk.texture, nullptr, nullptr);
  SDL_RenderPresent(g_desk.renderer);
  W().screenDirty = false;
  g_desk.lastPresent = RealClockMs();
}

void ToggleFullscreen() {
  g_desk.fullscreen = !g_desk.fullscreen;
  SDL_SetWindowFullscreen(g_desk.window, g_desk.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  W().screenDirty = true;
}

// The system closes the program: its main window is asked to close. Before
// there is one (a question at start-up on screen) the program is ended by its
// quit message, which also ends the message box's loop.
void CloseProgram() {
  if (HWND main = MainWindow())
    PostMessageW(main, WM_CLOSE, 0, 0);
  else
    PostQuitMessage(0);
}

// Keys the desktop window uses itself: F11 and Alt+Enter (full screen), Ctrl+R
// (turns the device).
bool WindowKey(const SDL_Keysym& key) {
  if (key.sym == SDLK_F11) return true;
  if ((key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT)) return true;
  return key.sym == SDLK_r && (key.mod & KMOD_CTRL);
}

void HandleEvent(const SDL_Event& e) {
  Surface& screen = ScreenSurface();
  switch (e.type) {
    case SDL_QUIT:  // also SIGTERM and SIGINT
      CloseProgram();
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        CloseProgram();
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                 e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                 e.window.event == SDL_WINDOWEVENT_RESTORED) {
        W().screenDirty = true;
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT && e.button.x >= 0 && e.button.y >= 0 &&
          e.button.x < screen.width && e.button.y < screen.height)
        QueueInput({InputEvent::Down, e.button.x, e.button.y, 0});
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.state & SDL_BUTTON_LMASK) QueueInput({InputEvent::Move, e.motion.x, e.motion.y, 0});
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) QueueInput({InputEvent::Up, e.button.x, e.button.y, 0});
      break;
    case SDL_KEYDOWN: {
      SDL_Scancode sc = e.key.keysym.scancode;
      // A held key's repeats go where its press went.
      if (!e.key.repeat) g_desk.windowKeys[sc] = WindowKey(e.key.keysym);
      if (!g_desk.windowKeys[sc]) {
        if (UINT vk = VirtualKey(e.key.keysym.sym)) QueueInput({InputEvent::KeyDown, 0, 0, vk});
      } else if (!e.key.repeat) {
        if (e.key.keysym.sym == SDLK_r)
          host::Rotate();  // turns the device
        else
          ToggleFullscreen();
      }
      break;
    }
    case SDL_KEYUP: {
      // The release of a key the window took is the window's too, whatever
      // modifiers are still held.
      SDL_Scancode sc = e.key.keysym.scancode;
      if (g_desk.windowKeys[sc]) {
        g_desk.windowKeys[sc] = false;
        break;
      }
      if (UINT vk = VirtualKey(e.key.keysym.sym)) QueueInput({InputEvent::KeyUp, 0, 0, vk});
      break;
    }
    case SDL_TEXTINPUT:
      AppendUtf8AsChars(e.text.text);
      break;
    default:
      break;
  }
}

void PollEvents() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleEvent(e);
  g_desk.lastPoll = RealClockMs();
}
}  // namespace

std::int64_t RealClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               g_clockStart)
      .count();
}

bool DesktopProbe(std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  return true;
}

bool DesktopOpen(std::string* error) {
  if (g_desk.window || W().options.headless) return true;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_HIGHDPI_DISABLED, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "1");  // the finger is the stylus
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  // Made at its zoom from the start (SDL_WINDOWPOS_CENTERED is display 0):
  // resized before it is mapped, the renderer's first frame may still be
  // drawn for the size the window was made with.
  Surface& screen = ScreenSurface();
  int zoom = ZoomFor(0);
  g_desk.window = SDL_CreateWindow("Melvoria", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   screen.width * zoom, screen.height * zoom,
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN);
  if (!g_desk.window) {
    *error = SDL_GetError();
    return false;
  }
  g_desk.renderer = SDL_CreateRenderer(g_desk.window, -1, SDL_RENDERER_ACCELERATED);
  if (!g_desk.renderer) g_desk.renderer = SDL_CreateRenderer(g_desk.window, -1, SDL_RENDERER_SOFTWARE);
  if (!g_desk.renderer) {
    *error = SDL_GetError();
    SDL_DestroyWindow(g_desk.window);
    g_desk.window = nullptr;
    return false;
  }
  SDL_DisplayMode mode;
  int display = SDL_GetWindowDisplayIndex(g_desk.window);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    g_desk.frameMs = std::max(1, 1000 / mode.refresh_rate);
  SetIcon();
  MakeTexture();
  SDL_ShowWindow(g_desk.window);
  SDL_StartTextInput();
  g_wakeEvent = SDL_RegisterEvents(1);
  W().screenDirty = true;
  return true;
}

void DesktopClose() {
  if (g_desk.texture) SDL_DestroyTexture(g_desk.texture);
  if (g_desk.renderer) SDL_DestroyRenderer(g_desk.renderer);
  if (g_desk.window) SDL_DestroyWindow(g_desk.window);
  if (g_desk.window) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  g_desk = Desktop{};
}

void DesktopScreenResized() {
  if (!g_desk.window) return;
  MakeTexture();
  if (!g_desk.fullscreen) FitWindow();
  W().screenDirty = true;
}

void DesktopRaise() {
  if (!g_desk.window) return;
  SDL_RestoreWindow(g_desk.window);
  SDL_RaiseWindow(g_desk.window);
}

// Called from the one-copy listener thread.
void RequestRaiseFromOtherThread() {
  g_raiseRequested = true;
  if (g_wakeEvent != 0) {
    SDL_Event e{};
    e.type = g_wakeEvent;
    SDL_PushEvent(&e);
  }
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  g_wake.notify_all();
}

void DesktopPresentIfDue() {
  if (g_raiseRequested.exchange(false)) DesktopRaise();
  if (!g_desk.window) return;
  std::int64_t now = RealClockMs();
  if (now - g_desk.lastPoll >= 4) PollEvents();
  if (W().screenDirty && now - g_desk.lastPresent >= g_desk.frameMs) Present();
}

void DesktopWait(std::int64_t deadlineMs) {
  std::int64_t now = RealClockMs();
  if (!g_desk.window) {
    std::unique_lock<std::mutex> lock(g_wakeMutex);
    if (deadlineMs < 0)
      g_wake.wait(lock, [] { return g_raiseRequested.load(); });
    else if (deadlineMs > now)
      g_wake.wait_for(lock, std::chrono::milliseconds(deadlineMs - now),
                      [] { return g_raiseRequested.load(); });
    return;
  }
  std::int64_t until = deadlineMs;
  if (W().screenDirty) {
    std::int64_t frame = g_desk.lastPresent + g_desk.frameMs;
    if (until < 0 || frame < until) until = frame;
  }
  int timeout = until < 0 ? -1 : int(std::max<std::int64_t>(0, until - now));
  SDL_Event e;
  int got = timeout < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout);
  if (got) {
    HandleEvent(e);
    PollEvents();
  }
  DesktopPresentIfDue();
}

}  // namespace ce
