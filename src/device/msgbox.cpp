// Modal message boxes in the handheld's style, drawn by the device itself.
#include <algorithm>
#include <cstring>

#include "device/world.h"

namespace ce {

namespace {

// Layout in window coordinates.
struct Layout {
  int width = 0;
  int height = 0;
  RECT caption{};
  RECT icon{};
  RECT text{};
  RECT buttons[2]{};
  int buttonCount = 1;
};

bool HasIcon(UINT type) {
  return (type & 0xF0) == MB_ICONEXCLAMATION;
}

// The width of a box opened on the current screen.
int BoxWidth() {
  return std::max(Scaled(120), W().screen.width - 2 * Scaled(6));
}

Layout MakeLayout(const std::u16string& text, UINT type, int width) {
  Layout l;
  int margin = Scaled(8);
  l.width = width;
  int captionH = Scaled(20);
  l.caption = RECT{0, 0, l.width, captionH};
  int iconSize = HasIcon(type) ? Scaled(32) : 0;
  int textLeft = margin + (iconSize ? iconSize + margin : 0);
  RECT measure{textLeft, captionH + margin, l.width - margin, captionH + margin + 10000};
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = MakeFont(13, FW_NORMAL);
  HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, text.c_str(), -1, &measure, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  int textH = std::max<int>(measure.bottom - measure.top, iconSize);
  l.icon = RECT{margin, captionH + margin, margin + iconSize, captionH + margin + iconSize};
  l.text = RECT{textLeft, captionH + margin, l.width - margin, captionH + margin + textH};
  l.buttonCount = ((type & 0x0F) == MB_YESNO || (type & 0x0F) == MB_OKCANCEL) ? 2 : 1;
  int bw = Scaled(60), bh = Scaled(22), gap = Scaled(12);
  int total = l.buttonCount * bw + (l.buttonCount - 1) * gap;
  int bx = (l.width - total) / 2, by = l.text.bottom + margin + Scaled(4);
  for (int i = 0; i < l.buttonCount; ++i)
    l.buttons[i] = RECT{bx + i * (bw + gap), by, bx + i * (bw + gap) + bw, by + bh};
  l.height = by + bh + margin;
  return l;
}

const char16_t* ButtonText(UINT type, int i) {
  switch (type & 0x0F) {
    case MB_YESNO:
      return i == 0 ? u"Yes" : u"No";
    case MB_OKCANCEL:
      return i == 0 ? u"OK" : u"Cancel";
    default:
      return u"OK";
  }
}

int ButtonResult(UINT type, int i) {
  switch (type & 0x0F) {
    case MB_YESNO:
      return i == 0 ? IDYES : IDNO;
    case MB_OKCANCEL:
      return i == 0 ? IDOK : IDCANCEL;
    default:
      return IDOK;
  }
}

int EscapeResult(UINT type) {
  switch (type & 0x0F) {
    case MB_YESNO:
      return IDNO;
    case MB_OKCANCEL:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

void DrawExclamation(HDC dc, const RECT& r) {
  // A yellow warning triangle with a black outline and mark.
  int w = r.right - r.left, h = r.bottom - r.top;
  int cx = r.left + w / 2;
  for (int y = 0; y < h; ++y) {
    int half = (y * w) / (2 * h);
    Fill(dc, RECT{cx - half - 1, r.top + y, cx + half + 1, r.top + y + 1}, RGB(0, 0, 0));
    if (y > 1 && y < h - 2 && half > 1)
      Fill(dc, RECT{cx - half + 1, r.top + y, cx + half - 1, r.top + y + 1}, RGB(255, 214, 0));
  }
  Fill(dc, RECT{cx - h / 16 - 1, r.bottom - h * 2 / 3, cx + h / 16 + 1, r.bottom - h / 3}, RGB(0, 0, 0));
  Fill(dc, RECT{cx - h / 16 - 1, r.bottom - h / 4, cx + h / 16 + 1, r.bottom - h / 8}, RGB(0, 0, 0));
}

// The layout of the box as it is: for its own width, whatever the screen's.
Layout LayoutOf(HWND hwnd) {
  return MakeLayout(hwnd->text, hwnd->msgboxType, hwnd->rect.right - hwnd->rect.left);
}

// Where a box of this layout goes: the middle of the screen.
POINT PlaceFor(const Layout& l) {
  const Surface& screen = W().screen;
  return POINT{(screen.width - l.width) / 2, std::max(0, (screen.height - l.height) / 2)};
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  Layout l = LayoutOf(hwnd);
  RECT all{0, 0, l.width, l.height};
  Fill(dc, all, RGB(0, 0, 0));
  int b = std::max(1, Scaled(1));
  Fill(dc, RECT{b, b, l.width - b, l.height - b}, RGB(255, 255, 255));
  Fill(dc, RECT{b, b, l.width - b, l.caption.bottom}, RGB(0, 36, 140));
  SetBkMode(dc, TRANSPARENT);
  HFONT bold = MakeFont(13, FW_BOLD);
  HGDIOBJ old = SelectObject(dc, bold);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT cap{Scaled(6), 0, l.width - Scaled(6), l.caption.bottom};
  DrawTextW(dc, hwnd->title.c_str(), -1, &cap, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (HasIcon(hwnd->msgboxType)) DrawExclamation(dc, l.icon);
  HFONT normal = MakeFont(13, FW_NORMAL);
  SelectObject(dc, normal);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT tr = l.text;
  DrawTextW(dc, hwnd->text.c_str(), -1, &tr, DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, bold);
  for (int i = 0; i < l.buttonCount; ++i) {
    bool hot = hwnd->msgboxHot == i && hwnd->pressed;
    Fill(dc, l.buttons[i], RGB(0, 0, 0));
    Fill(dc,
         RECT{l.buttons[i].left + b, l.buttons[i].top + b, l.buttons[i].right - b, l.buttons[i].bottom - b},
         hot ? RGB(0, 0, 0) : RGB(255, 255, 255));
    SetTextColor(dc, hot ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT br = l.buttons[i];
    DrawTextW(dc, ButtonText(hwnd->msgboxType, i), -1, &br, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  SelectObject(dc, old);
  DeleteObject(bold);
  DeleteObject(normal);
  EndPaint(hwnd, &ps);
}

int HitButton(HWND hwnd, LPARAM lParam) {
  Layout l = LayoutOf(hwnd);
  int x = std::int16_t(LOWORD(std::uintptr_t(lParam)));
  int y = std::int16_t(HIWORD(std::uintptr_t(lParam)));
  for (int i = 0; i < l.buttonCount; ++i)
    if (x >= l.buttons[i].left && x < l.buttons[i].right && y >= l.buttons[i].top && y < l.buttons[i].bottom)
      return i;
  return -1;
}
}  // namespace

LRESULT CALLBACK_MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      hwnd->msgboxHot = HitButton(hwnd, lParam);
      hwnd->pressed = hwnd->msgboxHot >= 0;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE: {
      bool over = hwnd->msgboxHot >= 0 && HitButton(hwnd, lParam) == hwnd->msgboxHot;
      if (over != hwnd->pressed) {
        hwnd->pressed = over;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (hwnd->msgboxHot >= 0 && HitButton(hwnd, lParam) == hwnd->msgboxHot)
        hwnd->msgboxResult = ButtonResult(hwnd->msgboxType, hwnd->msgboxHot);
      hwnd->msgboxHot = -1;
      hwnd->pressed = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      // Answered on the key's release, so that the release does not reach the
      // window below; a release without its press (the key that opened the
      // box) is ignored.
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) hwnd->msgboxKey = UINT(wParam);
      return 0;
    case WM_KEYUP:
      if (hwnd->msgboxKey != 0 && hwnd->msgboxKey == wParam) {
        hwnd->msgboxResult =
            wParam == VK_RETURN ? ButtonResult(hwnd->msgboxType, 0) : EscapeResult(hwnd->msgboxType);
      }
      return 0;
    case WM_SETTINGCHANGE: {
      // The device was turned: laid out anew for the screen it now has, as a
      // box opened there.
      Layout l = MakeLayout(hwnd->text, hwnd->msgboxType, BoxWidth());
      POINT at = PlaceFor(l);
      MoveWindow(hwnd, at.x, at.y, l.width, l.height, TRUE);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  World& world = W();
  std::u16string body = text ? text : u"";
  Layout l = MakeLayout(body, type, BoxWidth());
  POINT at = PlaceFor(l);
  HWND box = CreateWindowExW(0, u"#messagebox", caption ? caption : u"Error", WS_POPUP, at.x, at.y, l.width,
                             l.height, nullptr, 0, GetModuleHandleW(nullptr), nullptr);
  if (!box) return 0;
  box->text = body;
  box->msgboxType = type;
  HWND previousFocus = world.focus;
  ShowWindow(box, SW_SHOW);
  SetFocus(box);
  MSG msg;
  int result = 0;
  bool quit = false;
  int quitCode = 0;
  while (IsLive(box) && box->msgboxResult == 0) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = int(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (IsLive(box)) {
    result = box->msgboxResult ? box->msgboxResult : EscapeResult(type);
    DestroyWindow(box);
  } else {
    result = EscapeResult(type);
  }
  if (IsLive(previousFocus)) SetFocus(previousFocus);
  // The quit belongs to the outer loop.
  if (quit) PostQuitMessage(quitCode);
  return result;
}

}  // namespace ce
