// The child controls the game uses: push buttons and the one-line edit box,
// drawn in a plain handheld style.
#include <algorithm>
#include <cstring>

#include "platform/wm.h"

namespace ce {

int Scaled(int v) { return (v * W().dpi + 48) / 96; }

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
  if (first < t.size()) DrawTextW(dc, t.c_str() + first, int(t.size() - first), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  else ext.cx = 0;
  if (W().focus == hwnd) {
    int cx = tr.left + ext.cx + 1;
    Fill(dc, RECT{cx, r.top + Scaled(4), cx + std::max(1, Scaled(1)), r.bottom - Scaled(4)}, RGB(0, 0, 0));
  }
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(hwnd, &ps);
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
      char16_t c = char16_t(wParam);
      if (c == 8) {
        if (!hwnd->text.empty()) {
          // A surrogate pair goes as one character.
          hwnd->text.pop_back();
          if (!hwnd->text.empty() && hwnd->text.back() >= 0xD800 && hwnd->text.back() < 0xDC00) hwnd->text.pop_back();
        }
      } else if (c >= 32 && c != 127) {
        if (int(hwnd->text.size()) >= hwnd->textLimit) return 0;
        hwnd->text.push_back(c);
      } else {
        return 0;
      }
      hwnd->title = hwnd->text;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case EM_LIMITTEXT:
      hwnd->textLimit = wParam == 0 ? 0x7FFE : int(std::min<WPARAM>(wParam, 0x7FFE));
      if (int(hwnd->text.size()) > hwnd->textLimit) hwnd->text.resize(std::size_t(hwnd->textLimit));
      return 0;
    case WM_SETTEXT:
      DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace ce
