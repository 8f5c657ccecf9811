#include "app/popup.h"

#include "app/screens.h"
#include "app/shell_state.h"
#include "render/scale.h"

void RegisterPopupClass(ce::HINSTANCE instance, const char16_t* className) {
  ce::WNDCLASSW wc{};
  wc.style = ce::CS_HREDRAW | ce::CS_VREDRAW;
  wc.lpfnWndProc = PopupWindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<ce::HBRUSH>(ce::GetStockObject(ce::WHITE_BRUSH));
  wc.lpszClassName = className;
  ce::RegisterClassW(&wc);
}

bool CreatePopup(ce::HINSTANCE instance, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height) {
  shell.popupHeight = ScaleY(height);
  ReadScreenDpi();
  RegisterPopupClass(instance, u"PopUp");
  ce::HWND popup = ce::CreateWindowExW(0, u"PopUp", u"PopUp", ce::WS_POPUP, ScaleX(x), ScaleY(y), ScaleX(width),
                                       ScaleY(height), nullptr, 0, instance, nullptr);
  shell.popupWindow = popup;
  if (popup == nullptr) return false;
  ce::ShowWindow(popup, ce::SW_SHOW);
  ce::UpdateWindow(popup);
  return true;
}

// The pages, their paint and their input come with the screens that own them.
ce::LRESULT PopupWindowProc(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  return ce::DefWindowProcW(window, message, wParam, lParam);
}

void ClosePopupByOk(ce::HWND) {}
void ClosePopupByCloseBox(ce::HWND) {}
