#include "screens/screen_common.h"

#include "app/shell_state.h"
#include "render/draw.h"

void ClosePopupForLandscape(ce::HWND popup) {
  shell.PopupState = NoPopup;
  shell.popupControls = 0;
  ce::KillTimer(popup, 1324);
  ce::DestroyWindow(popup);
  if (shell.popupWindow == popup) shell.popupWindow = nullptr;
}

void CreatePopupOkButton(ce::HWND popup, int x, int y, int width, int height) {
  ce::CreateWindowExW(0, u"button", u"OK", ce::WS_CHILD | ce::WS_VISIBLE | ce::BS_PUSHBUTTON, ScaleX(x),
                      ScaleY(y), ScaleX(width), ScaleY(height), popup, OkButtonId, shell.instance, nullptr);
}

void EmptyBitmapSlots(int first, int last) {
  for (int slot = first; slot <= last; ++slot) EmptyBitmapSlot(slot);
}
