// The child controls the game uses: push buttons and the one-line edit box,
// drawn in a plain handheld style.
#include <algorithm>
#include <cstring>
#include <string>

#include "device/world.h"

namespace ce {

int Scaled(int v) {
  return (v * W().dpi + 48) / 96;
}

HFONT MakeFont(int cell, LONG weight) {
  LOGFONTW lf{};
  lf.lfHeight = Scaled(cell);
  lf.lfWeight = weight;
  const char16_t face[] = u"Tahoma";
  std::memcpy(lf.lfFaceName, face, sizeof(face));
  return CreateFontIndirectW(&lf);
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

namespace {

void Frame(HDC dc, const RECT& r, COLORREF color, int width) {
  Fill(dc, RECT{r.left, r.top, r.right, r.top + width}, color);
  Fill(dc, RECT{r.left, r.bottom - width, r.right, r.bottom}, color);
  Fill(dc, RECT{r.left, r.top, r.left + width, r.bottom}, color);
  Fill(dc, RECT{r.right - width, r.top, r.right, r.bottom}, color);
}

void PaintButton(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  bool down = hwnd->pressed;
  Fill(dc, r, down ? RGB(0, 0, 0) : RGB(255, 255, 255));
  Frame(dc, r, RGB(0, 0, 0), std::max(1, Scaled(1)));
  HFONT font = MakeFont(13, FW_BOLD);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, down ? RGB(255, 255, 255) : RGB(0, 0, 0));
  DrawTextW(dc, hwnd->text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(hwnd, &ps);
}

void PaintEdit(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  Fill(dc, r, RGB(255, 255, 255));
  if (hwnd->style & WS_BORDER) Frame(dc, r, RGB(0, 0, 0), std::max(1, Scaled(1)));
  HFONT font = MakeFont(13, FW_NORMAL);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  int pad = Scaled(3);
  RECT tr{r.left + pad, r.top, r.right - pad, r.bottom};
  // Keep the end of the text, where the caret is, in view.
  std::size_t first = 0;
  SIZE ext{0, 0};
  const std::u16string& t = hwnd->text;
  while (first < t.size()) {
    GetTextExtentPoint32W(dc, t.c_str() + first, int(t.size() - first), &ext);
    if (ext.cx <= tr.right - tr.left - Scaled(2)) break;
    ++first;
  }
  if (first < t.size())
    DrawTextW(dc, t.c_str() + first, int(t.size() - first), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  else
    ext.cx = 0;
  if (W().focus == hwnd) {
    int cx = tr.left + ext.cx + 1;
    Fill(dc, RECT{cx, r.top + Scaled(4), cx + std::max(1, Scaled(1)), r.bottom - Scaled(4)}, RGB(0, 0, 0));
  }
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(hwnd, &ps);
}

bool IsFirstHalf(char16_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
bool IsSecondHalf(char16_t c) {
  return c >= 0xDC00 && c < 0xE000;
}

// The whole characters of `s` that fit in `limit` units; a half without its
// other half is left out.
std::u16string WholeCharacters(const std::u16string& s, int limit) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::size_t units = IsFirstHalf(s[i]) && i + 1 < s.size() && IsSecondHalf(s[i + 1]) ? 2 : 1;
    if (units == 1 && (IsFirstHalf(s[i]) || IsSecondHalf(s[i]))) continue;
    if (int(out.size() + units) > limit) break;
    out.append(s, i, units);
    i += units - 1;
  }
  return out;
}

// A typed character. One outside the basic plane comes as two WM_CHARs: the
// first half waits at the end of the text, taken only when its second half fits
// too, and anything but that second half drops it.
void TypeChar(HWND hwnd, char16_t c) {
  std::u16string& t = hwnd->text;
  bool waiting = !t.empty() && IsFirstHalf(t.back());
  if (IsSecondHalf(c)) {
    if (waiting) t.push_back(c);
    return;
  }
  if (waiting) t.pop_back();
  if (c == 8) {
    if (t.empty()) return;
    bool secondHalf = IsSecondHalf(t.back());
    t.pop_back();
    if (secondHalf && !t.empty() && IsFirstHalf(t.back())) t.pop_back();
  } else if (c >= 32 && c != 127) {
    int units = IsFirstHalf(c) ? 2 : 1;
    if (int(t.size()) + units <= hwnd->textLimit) t.push_back(c);
  }
}

bool Inside(HWND hwnd, LPARAM lParam) {
  int x = std::int16_t(LOWORD(std::uintptr_t(lParam)));
  int y = std::int16_t(HIWORD(std::uintptr_t(lParam)));
  return x >= 0 && y >= 0 && x < hwnd->rect.right - hwnd->rect.left && y < hwnd->rect.bottom - hwnd->rect.top;
}
}  // namespace

LRESULT CALLBACK_ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintButton(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      hwnd->pressed = true;
      hwnd->tracking = true;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
      if (hwnd->tracking && hwnd->pressed != Inside(hwnd, lParam)) {
        hwnd->pressed = Inside(hwnd, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP: {
      bool clicked = hwnd->tracking && Inside(hwnd, lParam);
      hwnd->tracking = false;
      hwnd->pressed = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      if (clicked && hwnd->parent)
        SendMessageW(hwnd->parent, WM_COMMAND, WPARAM(WORD(hwnd->id)) | (WPARAM(BN_CLICKED) << 16),
                     reinterpret_cast<LPARAM>(hwnd));
      return 0;
    }
    case WM_SETTEXT:
      DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK_EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintEdit(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_CHAR: {
      std::u16string before = hwnd->text;
      TypeChar(hwnd, char16_t(wParam));
      if (hwnd->text == before) return 0;
      hwnd->title = hwnd->text;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case EM_LIMITTEXT:
      hwnd->textLimit = wParam == 0 ? 0x7FFE : int(std::min<WPARAM>(wParam, 0x7FFE));
      hwnd->text = WholeCharacters(hwnd->text, hwnd->textLimit);
      hwnd->title = hwnd->text;
      return 0;
    case WM_SETTEXT:
      // Unlike the handheld's box, a set text keeps to the limit too, in whole
      // characters: the box never holds what could not have been typed into it.
      DefWindowProcW(hwnd, msg, wParam, lParam);
      hwnd->text = WholeCharacters(hwnd->text, hwnd->textLimit);
      hwnd->title = hwnd->text;
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace ce
