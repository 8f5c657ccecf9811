// What platform/host.h promises tests, tools and hosts besides start and stop:
// the screen, input and time driven from outside, and what they observe.
#include <cstring>

#include "device/world.h"

namespace ce {

namespace host {

const Options& CurrentOptions() {
  return W().options;
}
int ScreenWidth() {
  return W().screen.width;
}
int ScreenHeight() {
  return W().screen.height;
}
const std::vector<std::uint32_t>& ScreenPixels() {
  return W().screen.pixels;
}
std::uint32_t ScreenPixel(int x, int y) {
  const Surface& s = W().screen;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
  return s.row(y)[x];
}

void Rotate() {
  World& world = W();
  int w = world.screen.height, h = world.screen.width;
  world.screen = Surface(w, h);
  // Full-screen windows follow the screen, as the shell resizes them.
  for (Window* t : world.topLevels) {
    t->hasSaved = false;
    if (t->rect.left == 0 && t->rect.top <= 0 && t->rect.right - t->rect.left == h &&
        t->rect.bottom - t->rect.top >= w) {
      t->rect = RECT{0, 0, w, h};
      t->proc(t, WM_SIZE, 0, MAKELPARAM(w, h));
    }
    t->invalid = Region(RECT{0, 0, t->rect.right - t->rect.left, t->rect.bottom - t->rect.top});
    for (Window* c : t->children) InvalidateRect(c, nullptr, FALSE);
    if (!t->destroyed) t->proc(t, WM_SETTINGCHANGE, 0, 0);
  }
  ScreenWritten(RECT{0, 0, w, h});
  DesktopScreenResized();
}

void StylusDown(int x, int y) {
  QueueInput({InputEvent::Down, x, y, 0});
}
void StylusMove(int x, int y) {
  QueueInput({InputEvent::Move, x, y, 0});
}
void StylusUp(int x, int y) {
  QueueInput({InputEvent::Up, x, y, 0});
}
void KeyDown(UINT vk) {
  QueueInput({InputEvent::KeyDown, 0, 0, vk});
}
void KeyUp(UINT vk) {
  QueueInput({InputEvent::KeyUp, 0, 0, vk});
}
void TypeText(const std::u16string& text) {
  for (char16_t c : text) QueueInput({InputEvent::Char, 0, 0, UINT(c)});
}

int PumpMessages() {
  MSG msg;
  int n = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++n;
  }
  return n;
}

void AdvanceTime(DWORD ms) {
  World& world = W();
  if (!world.options.virtualTime) {
    Sleep(ms);
    PumpMessages();
    return;
  }
  world.waitTarget = world.now + ms;
  PumpMessages();
  if (world.waitTarget >= 0) {
    world.now = std::max(world.now, world.waitTarget);
    world.waitTarget = -1;
  }
}

std::vector<RECT> InvalidRegion(HWND hwnd) {
  if (!IsLive(hwnd)) return {};
  return hwnd->invalid.Rects();
}

const ShellState& Shell() {
  return W().shell;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> v;
  for (Window* t : W().topLevels)
    if (!t->destroyed) v.push_back(t);
  return v;
}

HWND CurrentMessageBox() {
  for (auto it = W().topLevels.rbegin(); it != W().topLevels.rend(); ++it)
    if ((*it)->kind == ControlKind::MessageBox && !(*it)->destroyed) return *it;
  return nullptr;
}

}  // namespace host
}  // namespace ce
