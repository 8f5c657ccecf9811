// The window system's insides: windows, timers, the message queue and the
// screen, shared by the device's own files. Hosts see none of it (port.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "device/internal.h"
#include "device/port.h"
#include "platform/host.h"

namespace ce {

struct Timer {
  UINT_PTR id = 0;
  UINT period = 0;
  std::int64_t due = 0;  // absolute, in clock milliseconds
};

enum class ControlKind { None, Button, Edit, MessageBox };

struct Window {
  std::u16string className;
  std::u16string title;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  Window* parent = nullptr;
  std::vector<Window*> children;  // bottom to top
  RECT rect{};                    // relative to the parent (top-level: the screen)
  int id = 0;
  bool visible = false;
  bool destroyed = false;
  Region invalid;  // window coordinates
  std::vector<Timer> timers;
  // Pixels that were on the screen under the window when it was shown.
  Surface saved;
  RECT savedRect{};
  bool hasSaved = false;
  // Controls
  ControlKind kind = ControlKind::None;
  bool pressed = false;
  bool tracking = false;
  int textLimit = 0x7FFE;
  std::u16string text;
  UINT msgboxType = 0;
  int msgboxResult = 0;
  int msgboxHot = -1;
  UINT msgboxKey = 0;  // Enter or Escape pressed while the box was up
  int beginPaints = 0;
  std::size_t serial = 0;  // creation order: ties between due timers go by it
};

struct World {
  host::Options options;
  int dpi = 192;
  Surface screen;
  std::vector<Window*> topLevels;            // bottom to top
  std::vector<std::unique_ptr<Window>> all;  // every window ever made (handles stay unique)
  std::unordered_set<Window*> live;
  std::vector<std::pair<std::u16string, WNDCLASSW>> classes;
  std::vector<std::u16string> classNames;  // keeps the class name strings alive
  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  bool quitPosted = false;
  int quitCode = 0;
  std::int64_t now = 0;          // virtual clock, ms
  std::int64_t waitTarget = -1;  // virtual time: the end of the running wait
  Window* focus = nullptr;
  Window* capture = nullptr;
  bool stylusDown = false;
  bool ctrlDown = false;
  bool closeSent = false;
  host::ShellState shell;
};

World& W();
bool IsLive(HWND hwnd);
std::u16string Lower(std::u16string s);  // ASCII letters only, as class names compare
Window* TopLevelOf(Window* w);
bool ReallyVisible(const Window* w);  // it and every parent shown, none destroyed
// Focus to the top-most visible window when the focused one is gone or hidden.
void FocusFallback();
RECT ScreenRectOf(const Window* w);     // where the window lies on the screen
Region VisibleRegion(const Window* w);  // screen coordinates, without what covers it
HWND WindowAtPoint(int x, int y);       // top-most visible window under a screen point
void RegisterBuiltinClasses();
LRESULT CALLBACK_ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK_EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK_MessageBoxProc(HWND, UINT, WPARAM, LPARAM);
// For what the device draws itself (controls, message boxes): logical pixels
// at the screen's dpi, the Tahoma of a cell height, a filled rectangle.
int Scaled(int v);
HFONT MakeFont(int cell, LONG weight);
void Fill(HDC dc, const RECT& r, COLORREF c);
// The one-copy stand-in for a window of another process.
HWND RemoteWindowStandIn();
// Asks the copy that runs to come to the front; true when it was told.
bool ActivateRunningCopy();

}  // namespace ce
