#include "render/draw.h"

#include <cstdio>

#include "app/shell_state.h"
#include "render/scale.h"

namespace {

struct BitmapSlot {
  ce::HDC dc = nullptr;
  ce::HBITMAP picture = nullptr;
  ce::HGDIOBJ previous = nullptr;  // what the fresh context held before the picture
};

BitmapSlot slots[5];
ce::HFONT uiFont = nullptr;

bool LargeMode() {
  return display.DisplayMode == 3 || display.DisplayMode == 4;
}
int Doubled(int v) {
  return LargeMode() ? v * 2 : v;
}

void EmptySlot(BitmapSlot& slot) {
  if (slot.dc != nullptr) {
    ce::SelectObject(slot.dc, slot.previous);
    ce::DeleteDC(slot.dc);
  }
  if (slot.picture != nullptr) ce::DeleteObject(slot.picture);
  slot = BitmapSlot{};
}

void FillSlot(ce::HDC reference, ce::HBITMAP picture, int slotNumber) {
  BitmapSlot& slot = slots[slotNumber - 1];
  EmptySlot(slot);
  slot.picture = picture;
  slot.dc = ce::CreateCompatibleDC(reference);
  slot.previous = ce::SelectObject(slot.dc, picture);
}

ce::HBITMAP LoadPicture(int pictureId) {
  return ce::LoadBitmapW(ce::GetModuleHandleW(nullptr), ce::MAKEINTRESOURCEW(pictureId));
}

// Loads the picture into a transient context, lets copy use it, and releases both.
template <typename Copy>
void WithPicture(ce::HDC target, int pictureId, Copy copy) {
  ce::HBITMAP picture = LoadPicture(pictureId);
  ce::HDC source = ce::CreateCompatibleDC(target);
  ce::HGDIOBJ previous = ce::SelectObject(source, picture);
  copy(source);
  ce::SelectObject(source, previous);
  ce::DeleteDC(source);
  if (picture != nullptr) ce::DeleteObject(picture);
}

}  // namespace

ce::HFONT SelectUiFont(const char16_t* face, std::int32_t height, std::int32_t weight) {
  if (uiFont != nullptr) ce::DeleteObject(uiFont);
  ce::LOGFONTW lf{};
  lf.lfHeight = LargeMode() ? 2 * height - 1 : height;
  lf.lfWeight = weight;
  for (int i = 0; i < 31 && face != nullptr && face[i] != 0; ++i) lf.lfFaceName[i] = face[i];
  uiFont = ce::CreateFontIndirectW(&lf);
  return uiFont;
}

ce::HFONT CurrentUiFont() {
  return uiFont;
}

void FillBox(ce::HDC target, int red, int green, int blue, int left, int top, int right, int bottom) {
  ce::HBRUSH brush = ce::CreateSolidBrush(ce::RGB(red, green, blue));
  ce::HGDIOBJ oldBrush = ce::SelectObject(target, brush);
  ce::HGDIOBJ oldPen = ce::SelectObject(target, ce::GetStockObject(ce::NULL_PEN));
  ce::Rectangle(target, Doubled(left), Doubled(top), Doubled(right), Doubled(bottom));
  ce::SelectObject(target, oldPen);
  ce::SelectObject(target, oldBrush);
  ce::DeleteObject(brush);
}

void DrawRoundButton(ce::HDC target, const char16_t* caption, int x, int y, int width, int height,
                     int cornerWidth, int cornerHeight, int fillRed, int fillGreen, int fillBlue, int textRed,
                     int textGreen, int textBlue) {
  ce::HBRUSH brush = ce::CreateSolidBrush(ce::RGB(fillRed, fillGreen, fillBlue));
  ce::HPEN pen = ce::CreatePen(ce::PS_SOLID, ScaleX(2), ce::RGB(0, 0, 0));
  ce::HGDIOBJ oldBrush = ce::SelectObject(target, brush);
  ce::HGDIOBJ oldPen = ce::SelectObject(target, pen);
  ce::RECT box{ScaleX(x), ScaleY(y), ScaleX(x + width), ScaleY(y + height)};
  ce::RoundRect(target, box.left, box.top, box.right, box.bottom, ScaleX(cornerWidth), ScaleY(cornerHeight));
  ce::SelectObject(target, oldPen);
  ce::SelectObject(target, oldBrush);
  ce::DeleteObject(pen);
  ce::DeleteObject(brush);

  ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 700));
  ce::SetTextColor(target, ce::RGB(textRed, textGreen, textBlue));
  ce::SetBkMode(target, ce::TRANSPARENT);
  ce::DrawTextW(target, caption, -1, &box, ce::DT_CENTER | ce::DT_VCENTER | ce::DT_WORDBREAK);
}

void LoadBitmapSlot(ce::HDC reference, int pictureId, int slot) {
  if (slot < 1 || slot > 5) return;
  FillSlot(reference, LoadPicture(pictureId), slot);
}

void CreateBitmapSlot(ce::HDC reference, int width, int height, int slot) {
  if (slot < 1 || slot > 5) return;
  FillSlot(reference, ce::CreateCompatibleBitmap(reference, width, height), slot);
}

void FreeBitmapSlots() {
  for (BitmapSlot& slot : slots) EmptySlot(slot);
}

void EmptyBitmapSlot(int slot) {
  if (slot >= 1 && slot <= 5) EmptySlot(slots[slot - 1]);
}

ce::HDC BitmapSlotDC(int slot) {
  if (slot < 1 || slot > 5) return nullptr;
  return slots[slot - 1].dc;
}

void BlitResource(ce::HDC target, int pictureId, int width, int height, int x, int y) {
  WithPicture(target, pictureId, [&](ce::HDC source) {
    ce::BitBlt(target, Doubled(x), Doubled(y), width, height, source, 0, 0, ce::SRCCOPY);
  });
}

void BlitResourceKeyed(ce::HDC target, int pictureId, int width, int height, int x, int y, int keyRed,
                       int keyGreen, int keyBlue) {
  WithPicture(target, pictureId, [&](ce::HDC source) {
    ce::TransparentBlt(target, Doubled(x), Doubled(y), width, height, source, 0, 0, width, height,
                       ce::RGB(keyRed, keyGreen, keyBlue));
  });
}

void DrawTextBox(ce::HDC target, const char16_t* text, int textRed, int textGreen, int textBlue, int backRed,
                 int backGreen, int backBlue, int left, int top, int right, int bottom, int transparent,
                 int align) {
  static constexpr ce::UINT kAlign[3] = {ce::DT_LEFT, ce::DT_CENTER, ce::DT_RIGHT};
  ce::RECT box{Doubled(left), Doubled(top), Doubled(right), Doubled(bottom)};
  ce::SetTextColor(target, ce::RGB(textRed, textGreen, textBlue));
  ce::SetBkColor(target, ce::RGB(backRed, backGreen, backBlue));
  ce::SetBkMode(target, transparent != 0 ? ce::TRANSPARENT : ce::OPAQUE);
  ce::UINT flags = (align >= 0 && align <= 2 ? kAlign[align] : ce::DT_LEFT) | ce::DT_WORDBREAK;
  ce::DrawTextW(target, text, -1, &box, flags);
}

void DrawNumberBox(ce::HDC target, std::int32_t number, int textRed, int textGreen, int textBlue, int backRed,
                   int backGreen, int backBlue, int left, int top, int right, int bottom, int transparent,
                   int align) {
  char narrow[16];
  std::snprintf(narrow, sizeof narrow, "%d", static_cast<int>(number));
  char16_t text[16] = {};
  for (int i = 0; i < 15 && narrow[i] != 0; ++i) text[i] = static_cast<char16_t>(narrow[i]);
  DrawTextBox(target, text, textRed, textGreen, textBlue, backRed, backGreen, backBlue, left, top, right,
              bottom, transparent, align);
}

void DrawLine(ce::HDC target, int red, int green, int blue, int x1, int y1, int x2, int y2) {
  ce::HPEN pen = ce::CreatePen(ce::PS_SOLID, LargeMode() ? 2 : 1, ce::RGB(red, green, blue));
  ce::HGDIOBJ oldPen = ce::SelectObject(target, pen);
  ce::MoveToEx(target, Doubled(x1), Doubled(y1), nullptr);
  ce::LineTo(target, Doubled(x2), Doubled(y2));
  ce::SelectObject(target, oldPen);
  ce::DeleteObject(pen);
}

void DrawPopupFrame(ce::HDC target, const char16_t* title, int red, int green, int blue) {
  FillBox(target, red, green, blue, 0, 0, 240, 320);
  const int height = shell.popupHeight;
  const int tiles = height / 30;
  if (display.DisplayMode == 1) {
    BlitResource(target, 166, 240, 26, 0, 0);
    for (int i = 0; i < tiles; ++i) {
      BlitResource(target, 167, 4, 30, 0, 26 + 30 * i);
      BlitResource(target, 168, 4, 30, 236, 26 + 30 * i);
    }
    BlitResource(target, 169, 240, 4, 0, height - 4);
  } else if (display.DisplayMode == 3) {
    BlitResource(target, 170, 480, 52, 0, 0);
    // The edge tiles take device positions: halve them for the doubling copy.
    for (int i = 0; i < tiles; ++i) {
      BlitResource(target, 171, 8, 60, 0, 26 + 30 * i);
      BlitResource(target, 172, 8, 60, 236, 26 + 30 * i);
    }
    BlitResource(target, 173, 480, 8, 0, height / 2 - 4);
  }
  ce::HGDIOBJ previousFont = ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 900));
  DrawTextBox(target, title, 255, 255, 255, 0, 0, 0, 0, display.DisplayMode == 3 ? 6 : 7, 240, 25, 1, 1);
  ce::SelectObject(target, previousFont);
}
