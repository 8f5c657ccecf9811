// The device's message loop: input turned into messages, paints, timers and
// the clocks, and the waits in which the host takes its turn.
#include <algorithm>
#include <chrono>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "device/world.h"

namespace ce {

namespace {
const auto g_clockStart = std::chrono::steady_clock::now();  // the real clock's zero
}  // namespace

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

}  // namespace ce
