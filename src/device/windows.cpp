// Windows, classes, the message queue, painting and timers of the device.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "device/world.h"

namespace ce {

namespace {
World* g_world = nullptr;

std::u16string Lower(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return s;
}

std::u16string Str(LPCWSTR s) {
  return s ? std::u16string(s) : std::u16string();
}

const WNDCLASSW* FindClass(const std::u16string& name) {
  auto key = Lower(name);
  for (auto& [n, wc] : W().classes)
    if (n == key) return &wc;
  return nullptr;
}

Window* TopLevelOf(Window* w) {
  while (w && w->parent) w = w->parent;
  return w;
}

bool ReallyVisible(const Window* w) {
  for (; w; w = w->parent)
    if (!w->visible || w->destroyed) return false;
  return true;
}

void RestoreUnder(Window* w);
void SaveUnder(Window* w);
const auto g_clockStart = std::chrono::steady_clock::now();  // the real clock's zero

}  // namespace

void Unimplemented(const char* what, const char* file, int line) {
  std::fprintf(stderr, "melvoria: device operation not provided: %s (%s:%d)\n", what, file, line);
  std::abort();
}

World& W() {
  if (!g_world) g_world = new World();
  return *g_world;
}

bool IsLive(HWND hwnd) {
  if (!hwnd || !g_world) return false;
  return g_world->live.count(hwnd) != 0;
}

std::int64_t RealClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               g_clockStart)
      .count();
}

std::int64_t Now() {
  World& w = W();
  if (!w.options.virtualTime) w.now = RealClockMs();
  return w.now;
}

RECT ScreenRectOf(const Window* w) {
  RECT r = w->rect;
  for (const Window* p = w->parent; p; p = p->parent) r = Offset(r, p->rect.left, p->rect.top);
  return r;
}

Region VisibleRegion(const Window* w) {
  Region reg;
  if (!ReallyVisible(w)) return reg;
  World& world = W();
  RECT r = Intersect(ScreenRectOf(w), RECT{0, 0, world.screen.width, world.screen.height});
  for (const Window* p = w->parent; p; p = p->parent) r = Intersect(r, ScreenRectOf(p));
  if (RectEmpty(r)) return reg;
  reg.Add(r);
  // Children cover their parent; later siblings cover earlier ones.
  for (Window* c : w->children)
    if (c->visible && !c->destroyed) reg.Subtract(ScreenRectOf(c));
  for (const Window* cur = w; cur->parent; cur = cur->parent) {
    auto& sib = cur->parent->children;
    auto it = std::find(sib.begin(), sib.end(), cur);
    for (++it; it != sib.end(); ++it)
      if ((*it)->visible && !(*it)->destroyed) reg.Subtract(ScreenRectOf(*it));
  }
  const Window* top = TopLevelOf(const_cast<Window*>(w));
  auto it = std::find(world.topLevels.begin(), world.topLevels.end(), top);
  if (it != world.topLevels.end())
    for (++it; it != world.topLevels.end(); ++it)
      if ((*it)->visible && !(*it)->destroyed) reg.Subtract(ScreenRectOf(*it));
  return reg;
}

HWND WindowAtPoint(int x, int y) {
  World& world = W();
  for (auto it = world.topLevels.rbegin(); it != world.topLevels.rend(); ++it) {
    Window* t = *it;
    if (!t->visible || t->destroyed) continue;
    RECT r = ScreenRectOf(t);
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
    Window* hit = t;
    for (bool descended = true; descended;) {
      descended = false;
      for (auto c = hit->children.rbegin(); c != hit->children.rend(); ++c) {
        if (!(*c)->visible || (*c)->destroyed) continue;
        RECT cr = ScreenRectOf(*c);
        if (x >= cr.left && x < cr.right && y >= cr.top && y < cr.bottom) {
          hit = *c;
          descended = true;
          break;
        }
      }
    }
    return hit;
  }
  return nullptr;
}

HWND MainWindow() {
  for (Window* t : W().topLevels)
    if (!t->destroyed && t->kind != ControlKind::MessageBox) return t;
  return nullptr;
}

void QueueInput(const InputEvent& e) {
  if (!HoldInput(e)) DeliverInput(e);  // held while recording
}

void DeliverInput(const InputEvent& e) {
  W().input.push_back(e);
}

void CloseProgram() {
  if (HWND main = MainWindow())
    PostMessageW(main, WM_CLOSE, 0, 0);
  else
    PostQuitMessage(0);
}

std::shared_ptr<Surface> ProgramIcon() {
  const ResourceInfo* r = FindEmbedded(std::uint32_t(host::Program().icon), "ICON");
  return r ? DecodeBmp(r->data, r->size) : nullptr;
}

// ---- classes and windows ----------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  World& world = W();
  auto key = Lower(wc->lpszClassName);
  if (FindClass(key)) return 0;  // exists already: fails, changes nothing
  world.classes.emplace_back(key, *wc);
  return ATOM(world.classes.size());
}

void RegisterBuiltinClasses() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CALLBACK_ButtonProc;
  wc.lpszClassName = u"button";
  RegisterClassW(&wc);
  wc.lpfnWndProc = CALLBACK_EditProc;
  wc.lpszClassName = u"edit";
  RegisterClassW(&wc);
  wc.lpfnWndProc = CALLBACK_MessageBoxProc;
  wc.lpszClassName = u"#messagebox";
  RegisterClassW(&wc);
}

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE, void* param) {
  World& world = W();
  if (!className) return nullptr;
  const WNDCLASSW* wc = FindClass(className);
  if (!wc) return nullptr;
  if (parent && !IsLive(parent)) return nullptr;
  if ((style & WS_CHILD) && !parent) return nullptr;
  auto owned = std::make_unique<Window>();
  Window* w = owned.get();
  w->className = Str(className);
  w->title = Str(title);
  w->text = w->title;
  w->proc = wc->lpfnWndProc;
  w->style = style;
  w->parent = (style & WS_CHILD) ? parent : nullptr;
  w->id = (style & WS_CHILD) ? int(menuOrId) : 0;
  auto lowerClass = Lower(w->className);
  if (lowerClass == u"button") w->kind = ControlKind::Button;
  if (lowerClass == u"edit") w->kind = ControlKind::Edit;
  if (lowerClass == u"#messagebox") w->kind = ControlKind::MessageBox;
  if (x == CW_USEDEFAULT || y == CW_USEDEFAULT || width == CW_USEDEFAULT || height == CW_USEDEFAULT) {
    // Under the task bar and above the menu bar, as the shell places new windows.
    int bar = (26 * world.dpi + 48) / 96;
    x = 0;
    y = bar;
    width = world.screen.width;
    height = std::max(0, world.screen.height - 2 * bar);
  }
  w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  w->serial = world.all.size();
  world.all.push_back(std::move(owned));
  world.live.insert(w);
  if (w->parent)
    w->parent->children.push_back(w);
  else
    world.topLevels.push_back(w);
  if (w->proc(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(param)) == -1) {
    DestroyWindow(w);
    return nullptr;
  }
  if (style & WS_VISIBLE) {
    w->style &= ~WS_VISIBLE;
    ShowWindow(w, SW_SHOW);
  }
  return w;
}

BOOL IsWindow(HWND hwnd) {
  return IsLive(hwnd) ? TRUE : FALSE;
}

namespace {
void SaveUnder(Window* w) {
  World& world = W();
  RECT r = Intersect(ScreenRectOf(w), RECT{0, 0, world.screen.width, world.screen.height});
  w->hasSaved = false;
  if (RectEmpty(r)) return;
  w->saved = Surface(r.right - r.left, r.bottom - r.top);
  for (int yy = r.top; yy < r.bottom; ++yy)
    std::memcpy(w->saved.row(yy - r.top), world.screen.row(yy) + r.left,
                sizeof(std::uint32_t) * std::size_t(r.right - r.left));
  w->savedRect = r;
  w->hasSaved = true;
}

// Puts back what the window covered (where nothing above it lies) and marks it
// for paint on the windows below. Called while the window is still in place
// but already hidden.
void RestoreUnder(Window* w) {
  World& world = W();
  RECT area = Intersect(ScreenRectOf(w), RECT{0, 0, world.screen.width, world.screen.height});
  if (RectEmpty(area)) return;
  Region reg(area);
  // Not under windows above it.
  Window* top = TopLevelOf(w);
  if (w->parent) {
    auto& sib = w->parent->children;
    auto it = std::find(sib.begin(), sib.end(), w);
    if (it != sib.end())
      for (++it; it != sib.end(); ++it)
        if ((*it)->visible && !(*it)->destroyed) reg.Subtract(ScreenRectOf(*it));
  }
  auto it = std::find(world.topLevels.begin(), world.topLevels.end(), top);
  if (it != world.topLevels.end())
    for (++it; it != world.topLevels.end(); ++it)
      if ((*it)->visible && !(*it)->destroyed) reg.Subtract(ScreenRectOf(*it));
  if (w->hasSaved) {
    for (const RECT& rr : reg.Rects()) {
      RECT c = Intersect(rr, w->savedRect);
      if (RectEmpty(c)) continue;
      for (int yy = c.top; yy < c.bottom; ++yy)
        std::memcpy(world.screen.row(yy) + c.left,
                    w->saved.row(yy - w->savedRect.top) + (c.left - w->savedRect.left),
                    sizeof(std::uint32_t) * std::size_t(c.right - c.left));
      ScreenChanged(c);
    }
  }
  w->hasSaved = false;
  w->saved = Surface();
  // Invalidate what lies below, in each window's own coordinates.
  auto invalidateIn = [&](Window* below) {
    for (const RECT& rr : reg.Rects()) {
      RECT sr = ScreenRectOf(below);
      RECT c = Intersect(rr, sr);
      if (!RectEmpty(c)) below->invalid.Add(Offset(c, -sr.left, -sr.top));
    }
  };
  std::vector<Window*> below;
  if (w->parent) {
    below.push_back(w->parent);
    for (Window* s : w->parent->children) {
      if (s == w) break;
      below.push_back(s);
    }
  } else {
    for (Window* t : world.topLevels) {
      if (t == w) break;
      below.push_back(t);
      for (Window* c : t->children) below.push_back(c);
    }
  }
  for (Window* b : below)
    if (ReallyVisible(b)) invalidateIn(b);
}

void Unlink(Window* w) {
  World& world = W();
  if (w->parent) {
    auto& sib = w->parent->children;
    sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
  } else {
    world.topLevels.erase(std::remove(world.topLevels.begin(), world.topLevels.end(), w),
                          world.topLevels.end());
  }
}

void FocusFallback() {
  World& world = W();
  if (world.focus && IsLive(world.focus) && ReallyVisible(world.focus)) return;
  world.focus = nullptr;
  for (auto it = world.topLevels.rbegin(); it != world.topLevels.rend(); ++it)
    if ((*it)->visible && !(*it)->destroyed) {
      world.focus = *it;
      return;
    }
}
}  // namespace

BOOL DestroyWindow(HWND hwnd) {
  if (!IsLive(hwnd)) return FALSE;
  World& world = W();
  Window* w = hwnd;
  // Children first go with their parent.
  auto kids = w->children;
  if (w->visible) {
    w->visible = false;
    RestoreUnder(w);
  }
  w->proc(w, WM_DESTROY, 0, 0);
  for (auto it = kids.rbegin(); it != kids.rend(); ++it)
    if (IsLive(*it)) {
      (*it)->visible = false;
      (*it)->hasSaved = false;
      DestroyWindow(*it);
    }
  w->destroyed = true;
  world.live.erase(w);
  w->timers.clear();
  w->invalid.Clear();
  Unlink(w);
  if (world.capture == w) world.capture = nullptr;
  for (auto it = world.posted.begin(); it != world.posted.end();)
    it = (it->hwnd == w) ? world.posted.erase(it) : it + 1;
  if (world.focus == w || (world.focus && !IsLive(world.focus))) world.focus = nullptr;
  FocusFallback();
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  if (!IsLive(hwnd)) return FALSE;
  Window* w = hwnd;
  BOOL was = w->visible ? TRUE : FALSE;
  if (cmdShow == SW_HIDE) {
    if (w->visible) {
      w->visible = false;
      w->style &= ~WS_VISIBLE;
      RestoreUnder(w);
      if (W().focus == w) W().focus = nullptr;
      FocusFallback();
    }
    return was;
  }
  if (!w->visible) {
    w->visible = true;
    w->style |= WS_VISIBLE;
    if (ReallyVisible(w)) SaveUnder(w);
    w->invalid = Region(RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top});
    if (!w->parent) {
      W().focus = w;
      std::string error;
      if (!DesktopOpen(&error)) std::fprintf(stderr, "melvoria: cannot open a window: %s\n", error.c_str());
    }
  }
  return was;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsLive(hwnd)) return FALSE;
  if (!hwnd->invalid.Empty() && ReallyVisible(hwnd)) hwnd->proc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  if (hwnd && hwnd == RemoteWindowStandIn()) return TRUE;
  if (!IsLive(hwnd)) return FALSE;
  Window* w = hwnd;
  bool vis = w->visible;
  if (vis) {
    w->visible = false;
    RestoreUnder(w);
  }
  w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  if (vis) {
    w->visible = true;
    if (ReallyVisible(w)) SaveUnder(w);
  }
  w->proc(w, WM_MOVE, 0, MAKELPARAM(x, y));
  w->proc(w, WM_SIZE, 0, MAKELPARAM(width, height));
  if (repaint) w->invalid = Region(RECT{0, 0, std::max(0, width), std::max(0, height)});
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  if (hwnd && hwnd == RemoteWindowStandIn()) {
    *rect = RECT{0, 0, W().screen.width, W().screen.height};
    return TRUE;
  }
  if (!IsLive(hwnd)) return FALSE;
  *rect = ScreenRectOf(hwnd);
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!IsLive(hwnd) || !rect) return FALSE;
  *rect = RECT{0, 0, hwnd->rect.right - hwnd->rect.left, hwnd->rect.bottom - hwnd->rect.top};
  return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title) {
  for (Window* t : W().topLevels) {
    if (t->destroyed) continue;
    if (className && Lower(t->className) != Lower(className)) continue;
    if (title && t->title != title) continue;
    return t;
  }
  // A window of the same program running in another process.
  if (className && Str(className) == host::Program().windowClass) return RemoteWindowStandIn();
  return nullptr;
}

HWND SetFocus(HWND hwnd) {
  World& world = W();
  HWND old = world.focus;
  if (hwnd && !IsLive(hwnd)) return nullptr;
  if (old == hwnd) return old;
  world.focus = hwnd;
  if (old && IsLive(old)) old->proc(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd) hwnd->proc(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  return W().focus;
}

HWND SetActiveWindow(HWND hwnd) {
  HWND old = W().focus ? TopLevelOf(W().focus) : nullptr;
  if (IsLive(hwnd)) SetFocus(TopLevelOf(hwnd));
  return old;
}

HWND GetDlgItem(HWND parent, int id) {
  if (!IsLive(parent)) return nullptr;
  for (Window* c : parent->children)
    if (!c->destroyed && c->id == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  return IsLive(hwnd) ? hwnd->id : 0;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsLive(hwnd)) return FALSE;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  if (!IsLive(hwnd)) return 0;
  return int(
      SendMessageW(hwnd, WM_GETTEXT, WPARAM(maxCount < 0 ? 0 : maxCount), reinterpret_cast<LPARAM>(buffer)));
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(hwnd)) return 0;
  return hwnd->proc(hwnd, msg, wParam, lParam);
}

LRESULT SendDlgItemMessageW(HWND parent, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND c = GetDlgItem(parent, id);
  return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !IsLive(hwnd)) return FALSE;
  W().posted.push_back(MSG{hwnd, msg, wParam, lParam, DWORD(Now()), POINT{0, 0}});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  W().quitPosted = true;
  W().quitCode = exitCode;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(hwnd)) return 0;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
      hwnd->text = Str(reinterpret_cast<LPCWSTR>(lParam));
      hwnd->title = hwnd->text;
      return TRUE;
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<LPWSTR>(lParam);
      if (!buf || wParam == 0) return 0;
      std::size_t n = std::min<std::size_t>(hwnd->text.size(), std::size_t(wParam) - 1);
      std::memcpy(buf, hwnd->text.data(), n * sizeof(char16_t));
      buf[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(hwnd->text.size());
    default:
      (void)wParam;
      return 0;
  }
}

// ---- accelerators --------------------------------------------------------------------

struct AccelTable {
  std::vector<ACCEL> entries;
};

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  const ResourceInfo* r = FindEmbedded(std::uint32_t(reinterpret_cast<std::uintptr_t>(name)), "ACCELERATOR");
  if (!r) return nullptr;
  // The handheld's resource format: 8 bytes an entry (flags, key, command,
  // padding); flag 0x80 marks the last.
  static std::vector<std::unique_ptr<AccelTable>> tables;
  auto t = std::make_unique<AccelTable>();
  for (std::size_t off = 0; off + 8 <= r->size; off += 8) {
    const std::uint8_t* p = r->data + off;
    ACCEL a{BYTE(p[0] & 0x7F), WORD(p[2] | (p[4 - 1] << 8)), WORD(p[4] | (p[5] << 8))};
    t->entries.push_back(a);
    if (p[0] & 0x80) break;
  }
  tables.push_back(std::move(t));
  return tables.back().get();
}

int TranslateAcceleratorW(HWND hwnd, HACCEL accel, MSG* msg) {
  if (!accel || !msg || msg->message != WM_KEYDOWN) return 0;
  bool ctrl = W().ctrlDown;
  for (const ACCEL& a : accel->entries) {
    if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam) continue;
    if (bool(a.fVirt & FCONTROL) != ctrl) continue;
    HWND target = IsLive(hwnd) ? hwnd : msg->hwnd;
    SendMessageW(target, WM_COMMAND, WPARAM(a.cmd) | (WPARAM(1) << 16), 0);
    return 1;
  }
  return 0;
}

// ---- the message loop --------------------------------------------------------------

namespace {

// Typing goes to the edit box of the focused window when that has one, so a
// name can be typed without first tapping the box.
HWND CharTarget(HWND target) {
  if (!target || target->kind == ControlKind::Edit) return target;
  for (Window* c : TopLevelOf(target)->children)
    if (c->kind == ControlKind::Edit && c->visible && !c->destroyed) return c;
  return target;
}

HWND KeyTarget() {
  World& world = W();
  if (world.focus && IsLive(world.focus) && ReallyVisible(world.focus)) return world.focus;
  FocusFallback();
  return world.focus;
}

// Turns one queued input event into a message. Returns false when it is dropped.
bool InputToMessage(const InputEvent& e, MSG* msg) {
  World& world = W();
  *msg = MSG{};
  msg->time = DWORD(Now());
  // While a message box is up, only it takes input.
  Window* modal = nullptr;
  for (auto it = world.topLevels.rbegin(); it != world.topLevels.rend(); ++it)
    if ((*it)->kind == ControlKind::MessageBox && !(*it)->destroyed) {
      modal = *it;
      break;
    }
  switch (e.kind) {
    case InputEvent::Down:
    case InputEvent::Move:
    case InputEvent::Up: {
      Window* target = nullptr;
      if (e.kind == InputEvent::Down) {
        world.stylusDown = true;
        target = WindowAtPoint(e.x, e.y);
        if (modal && target && TopLevelOf(target) != modal) target = nullptr;
        world.capture = target;
        if (target && target->kind == ControlKind::Edit) SetFocus(target);
      } else {
        if (!world.stylusDown) return false;
        target = world.capture;
        if (e.kind == InputEvent::Up) {
          world.stylusDown = false;
          world.capture = nullptr;
        }
      }
      if (!target || !IsLive(target)) return false;
      RECT sr = ScreenRectOf(target);
      msg->hwnd = target;
      msg->message = e.kind == InputEvent::Down   ? WM_LBUTTONDOWN
                     : e.kind == InputEvent::Move ? WM_MOUSEMOVE
                                                  : WM_LBUTTONUP;
      msg->wParam = e.kind == InputEvent::Up ? 0 : 1;
      msg->lParam = MAKELPARAM(e.x - sr.left, e.y - sr.top);
      msg->pt = POINT{e.x, e.y};
      return true;
    }
    case InputEvent::KeyDown:
    case InputEvent::KeyUp:
    case InputEvent::Char: {
      if (e.code == VK_CONTROL && e.kind != InputEvent::Char) world.ctrlDown = e.kind == InputEvent::KeyDown;
      HWND target = modal ? modal : KeyTarget();
      if (!target) return false;
      if (e.kind == InputEvent::Char && !modal) target = CharTarget(target);
      msg->hwnd = target;
      msg->message = e.kind == InputEvent::KeyDown ? WM_KEYDOWN
                     : e.kind == InputEvent::KeyUp ? WM_KEYUP
                                                   : WM_CHAR;
      msg->wParam = e.code;
      msg->lParam = e.kind == InputEvent::KeyUp ? LPARAM(0xC0000001) : 1;
      return true;
    }
  }
  return false;
}

// Finds a window that needs paint, top-most first.
Window* PaintCandidate() {
  World& world = W();
  for (auto it = world.topLevels.rbegin(); it != world.topLevels.rend(); ++it) {
    Window* t = *it;
    if (!t->visible || t->destroyed) continue;
    if (!t->invalid.Empty()) return t;
    std::vector<Window*> stack(t->children.begin(), t->children.end());
    while (!stack.empty()) {
      Window* c = stack.back();
      stack.pop_back();
      if (!c->visible || c->destroyed) continue;
      if (!c->invalid.Empty()) return c;
      stack.insert(stack.end(), c->children.begin(), c->children.end());
    }
  }
  return nullptr;
}

// The earliest due timer of all windows (due may be in the future).
bool EarliestTimer(Window** window, Timer** timer) {
  World& world = W();
  *window = nullptr;
  *timer = nullptr;
  for (Window* p : world.live)
    for (Timer& t : p->timers)
      if (!*timer || t.due < (*timer)->due || (t.due == (*timer)->due && p->serial < (*window)->serial)) {
        *timer = &t;
        *window = p;
      }
  return *timer != nullptr;
}

// A script may hold timers back, or have a counted wait's message come at once
// (from the timer it names, when it names one). True when none comes now.
bool TimersHeld(Window** w, Timer** t) {
  TimerRule rule = ScriptTimerRule();
  if (rule.kind == TimerRule::Free) return false;
  if (rule.kind == TimerRule::Held) return true;
  World& world = W();
  if (!rule.timerClass.empty()) {
    const std::u16string named = Lower(rule.timerClass);
    Window* window = nullptr;
    Timer* timer = nullptr;
    for (Window* p : world.live)
      if (!p->destroyed && Lower(p->className) == named)
        for (Timer& x : p->timers)
          if (x.id == rule.timerId &&
              (!timer || x.due < timer->due || (x.due == timer->due && p->serial < window->serial))) {
            window = p;
            timer = &x;
          }
    if (!timer) return true;  // gone: the wait ends owing them, which the script reports
    *w = window;
    *t = timer;
  }
  // The message comes when its timer falls due, or at the end of the wait if
  // that is sooner (the recorded clock ran ahead of the timers).
  Timer* next = *t;
  std::int64_t at = std::min(std::max(next->due, world.now), world.waitTarget);
  world.now = at;
  if (next->due > at) next->due = at;
  return false;
}

void FireTimer(Window* w, Timer* t, MSG* msg, std::int64_t now) {
  *msg = MSG{w, WM_TIMER, t->id, 0, DWORD(now), POINT{0, 0}};
  std::size_t timers = 0;
  for (Window* p : W().live) timers += p->timers.size();
  // Counted by a recording and by a counted wait.
  NoteTimerMessage(TimerMessage{w, w->className, t->id, timers > 1});
  t->due += t->period;
  // Far behind (a slow paint, a stopped process): do not fire a burst.
  if (t->due + 8 * std::int64_t(t->period) < now) t->due = now + t->period;
}

// One attempt to find a message. Returns 1 for a message, 0 for quit, -1 for nothing.
int TryGetMessage(MSG* msg, bool remove) {
  World& world = W();
  if (!world.posted.empty()) {
    *msg = world.posted.front();
    if (remove) world.posted.pop_front();
    return msg->message == WM_QUIT ? 0 : 1;
  }
  while (!world.input.empty()) {
    InputEvent e = world.input.front();
    world.input.pop_front();
    if (InputToMessage(e, msg)) {
      if (!remove) world.posted.push_front(*msg);
      return 1;
    }
  }
  if (world.quitPosted) {
    *msg = MSG{nullptr, WM_QUIT, WPARAM(world.quitCode), 0, DWORD(Now()), POINT{0, 0}};
    if (remove) world.quitPosted = false;
    return 0;
  }
  if (Window* p = PaintCandidate()) {
    *msg = MSG{p, WM_PAINT, 0, 0, DWORD(Now()), POINT{0, 0}};
    return 1;
  }
  Window* tw;
  Timer* t;
  if (EarliestTimer(&tw, &t) && !TimersHeld(&tw, &t)) {
    std::int64_t now = Now();
    if (world.options.virtualTime && world.waitTarget >= 0 && t->due > now && t->due <= world.waitTarget) {
      world.now = t->due;  // virtual time jumps to the next timer of the running wait
      now = world.now;
    }
    if (t->due <= now) {
      if (remove)
        FireTimer(tw, t, msg, now);
      else
        *msg = MSG{tw, WM_TIMER, t->id, 0, DWORD(now), POINT{0, 0}};
      return 1;
    }
  }
  if (world.options.virtualTime && world.waitTarget >= 0) {
    world.now = std::max(world.now, world.waitTarget);
    world.waitTarget = -1;
  }
  return -1;
}

}  // namespace

BOOL GetMessageW(MSG* msg, HWND, UINT, UINT) {
  World& world = W();
  if (!msg) return FALSE;
  for (;;) {
    DesktopPresentIfDue();  // shows the screen once a frame and takes desktop input
    ReleaseHeldInput();     // a recording's input, between messages
    int r = TryGetMessage(msg, true);
    if (r >= 0) return r;
    // Nothing to do now.
    if (ScriptLoaded()) {
      if (ScriptStep()) continue;
    }
    Window* tw;
    Timer* t;
    bool anyTimer = EarliestTimer(&tw, &t);
    // Virtual time with no more input: the run is over, closed as the system
    // closes it. (A headless run on the real clock sleeps until it is stopped.)
    if (world.options.virtualTime) {
      if (!world.closeSent) {
        world.closeSent = true;
        if (HWND main = MainWindow()) {
          PostMessageW(main, WM_CLOSE, 0, 0);
          continue;
        }
      }
      *msg = MSG{nullptr, WM_QUIT, 0, 0, DWORD(Now()), POINT{0, 0}};
      return FALSE;
    }
    DesktopWait(anyTimer ? t->due : -1);
  }
}

bool BetweenMessages() {
  const World& w = W();
  return w.posted.empty() && w.input.empty() && !w.quitPosted && !PaintCandidate();
}

bool EditBoxShown() {
  for (const Window* w : W().live)
    if (w->kind == ControlKind::Edit && ReallyVisible(w)) return true;
  return false;
}

void StartWait(std::int64_t ms) {
  World& world = W();
  world.waitTarget = world.now + ms;
}

bool WaitRunning() {
  return W().waitTarget >= 0;
}

BOOL PeekMessageW(MSG* msg, HWND, UINT, UINT, UINT remove) {
  if (!msg) return FALSE;
  int r = TryGetMessage(msg, remove == PM_REMOVE);
  return r >= 0 ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  // Printable characters arrive as text input; these keys make characters of
  // their own.
  UINT ch = 0;
  if (msg->wParam == VK_BACK) ch = 8;
  if (msg->wParam == VK_RETURN) ch = 13;
  if (msg->wParam == VK_ESCAPE) ch = 27;
  if (!ch) return FALSE;
  HWND target =
      IsLive(msg->hwnd) && msg->hwnd->kind != ControlKind::MessageBox ? CharTarget(msg->hwnd) : msg->hwnd;
  W().posted.push_back(MSG{target, WM_CHAR, ch, msg->lParam, msg->time, msg->pt});
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !IsLive(msg->hwnd)) return 0;
  if (msg->message == WM_TIMER) {
    // A timer killed after its message was made is not delivered.
    bool found = false;
    for (const Timer& t : msg->hwnd->timers) found = found || t.id == msg->wParam;
    if (!found) return 0;
  }
  if (msg->message == WM_PAINT && (!ReallyVisible(msg->hwnd) || msg->hwnd->invalid.Empty())) return 0;
  int paintsBefore = msg->hwnd->beginPaints;
  LRESULT r = msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A procedure that never began painting would be asked again forever.
  if (msg->message == WM_PAINT && IsLive(msg->hwnd) && msg->hwnd->beginPaints == paintsBefore)
    msg->hwnd->invalid.Clear();
  return r;
}

// ---- painting ------------------------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  if (!IsLive(hwnd)) return FALSE;
  RECT client{0, 0, hwnd->rect.right - hwnd->rect.left, hwnd->rect.bottom - hwnd->rect.top};
  RECT r = rect ? Intersect(*rect, client) : client;
  if (!RectEmpty(r)) hwnd->invalid.Add(r);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  if (!IsLive(hwnd)) return FALSE;
  if (rect)
    hwnd->invalid.Subtract(*rect);
  else
    hwnd->invalid.Clear();
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  if (!IsLive(hwnd)) return FALSE;
  RECT b = hwnd->invalid.Empty() ? RECT{0, 0, 0, 0} : hwnd->invalid.Bounds();
  if (rect) *rect = b;
  return hwnd->invalid.Empty() ? FALSE : TRUE;
}

namespace {
HDC MakeWindowDC(Window* w, const Region* restrictTo) {
  auto* dc = new DeviceContext();
  InitDeviceContext(dc);
  dc->target = &W().screen;
  dc->window = w;
  if (w) {
    RECT sr = ScreenRectOf(w);
    dc->originX = sr.left;
    dc->originY = sr.top;
    dc->clip = VisibleRegion(w);
    if (restrictTo) {
      Region r = *restrictTo;
      r.OffsetBy(sr.left, sr.top);
      dc->clip.IntersectWith(r);
    }
  } else {
    dc->clip = Region(RECT{0, 0, W().screen.width, W().screen.height});
  }
  return dc;
}
}  // namespace

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!IsLive(hwnd) || !ps) return nullptr;
  Region inv = hwnd->invalid;
  hwnd->invalid.Clear();
  hwnd->beginPaints++;
  HDC dc = MakeWindowDC(hwnd, &inv);
  *ps = PAINTSTRUCT{};
  ps->hdc = dc;
  ps->fErase = FALSE;
  ps->rcPaint = inv.Empty() ? RECT{0, 0, 0, 0} : inv.Bounds();
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  DeleteDC(ps->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (hwnd && !IsLive(hwnd)) return nullptr;
  return MakeWindowDC(hwnd, nullptr);
}

int ReleaseDC(HWND, HDC hdc) {
  if (!hdc) return 0;
  DeleteDC(hdc);
  return 1;
}

// ---- timers ----------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* timerProc) {
  if (timerProc) CE_UNIMPLEMENTED("SetTimer with a timer procedure");
  if (!IsLive(hwnd)) return 0;
  UINT period = std::max<UINT>(elapseMs, UINT(kShortestTimerPeriod));
  std::int64_t due = Now() + period;
  for (Timer& t : hwnd->timers)
    if (t.id == id) {
      t.period = period;
      t.due = due;
      return id;
    }
  hwnd->timers.push_back(Timer{id, period, due});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  if (!IsLive(hwnd)) return FALSE;
  auto& ts = hwnd->timers;
  auto it = std::find_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.id == id; });
  if (it == ts.end()) return FALSE;
  ts.erase(it);
  return TRUE;
}

// ---- metrics -------------------------------------------------------------------------

int GetSystemMetrics(int index) {
  if (index == SM_CXSCREEN) return W().screen.width;
  if (index == SM_CYSCREEN) return W().screen.height;
  return 0;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return W().dpi;
    case HORZRES:
      return W().screen.width;
    case VERTRES:
      return W().screen.height;
    case BITSPIXEL:
      return 16;
    default:
      return 0;
  }
}

Surface& ScreenSurface() {
  return W().screen;
}

void ScreenChanged(const RECT& r) {
  ScreenWritten(r);
}

DWORD GetTickCount() {
  return DWORD(ClockReading(Now()));
}

void Sleep(DWORD ms) {
  if (W().options.virtualTime) return;  // everything but waiting happens at once
#ifdef __EMSCRIPTEN__
  emscripten_sleep(ms);  // a page returns to the browser while it waits
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

// ---- the shell -------------------------------------------------------------------------

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  auto& s = W().shell;
  s.fullScreenCalls++;
  s.lastFullScreenWindow = hwnd;
  if (state & SHFS_HIDETASKBAR) s.taskBarHidden = true;
  if (state & SHFS_SHOWTASKBAR) s.taskBarHidden = false;
  if (state & SHFS_HIDESIPBUTTON) s.sipButtonHidden = true;
  if (state & SHFS_SHOWSIPBUTTON) s.sipButtonHidden = false;
  if (state & SHFS_HIDESTARTICON) s.startIconHidden = true;
  if (state & SHFS_SHOWSTARTICON) s.startIconHidden = false;
  return TRUE;
}

BOOL SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD) {
  W().shell.activateCalls++;
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO*) {
  W().shell.settingChangeCalls++;
  return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd) {
  // The handheld takes the handle with its lowest bit set as well.
  auto* w = reinterpret_cast<Window*>(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t(1));
  if (w && w == RemoteWindowStandIn()) return ActivateRunningCopy() ? TRUE : FALSE;
  if (!IsLive(w)) return FALSE;
  W().shell.foregroundWindow = w;
  DesktopRaise();
  return TRUE;
}

// ---- host ------------------------------------------------------------------------------

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
