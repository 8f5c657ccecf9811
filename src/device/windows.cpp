// The device's windows and classes: making, showing, moving and destroying
// them, what each covers and saves under it, focus, sending and posting, and
// accelerators.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/world.h"

namespace ce {

namespace {
World* g_world = nullptr;

std::u16string Str(LPCWSTR s) {
  return s ? std::u16string(s) : std::u16string();
}

const WNDCLASSW* FindClass(const std::u16string& name) {
  auto key = Lower(name);
  for (auto& [n, wc] : W().classes)
    if (n == key) return &wc;
  return nullptr;
}

void RestoreUnder(Window* w);
void SaveUnder(Window* w);

}  // namespace

std::u16string Lower(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return s;
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
  StartStep();
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
}  // namespace

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
  if (!hwnd->invalid.Empty() && ReallyVisible(hwnd)) {
    StartStep();
    hwnd->proc(hwnd, WM_PAINT, 0, 0);
  }
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
  StartStep();
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

}  // namespace ce
