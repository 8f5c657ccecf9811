// The About popup: the game's name and version and the maker's logo.
#include "app/screens.h"
#include "app/shell_state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/screen_common.h"

void PaintAbout(ce::HWND popup, ce::HDC target) {
  if (LandscapeMode()) {
    ClosePopupForLandscape(popup);
    return;
  }
  DrawPopupFrame(target, u"About...", 255, 255, 255);
  BlitResource(target, PictureFor(165, 164), ScaleX(103), ScaleY(29), 66, 80);
  if (shell.popupControls == 0) {
    CreatePopupOkButton(popup, 80, 206, 80, 22);
    shell.popupControls = 1;
  }
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 18, 700));
  DrawTextBox(target, u"Melvoria 1.12", 0, 0, 0, 0, 0, 0, 0, 42, 240, 62, 1, 1);
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 400));
  DrawTextBox(target, u"by", 0, 0, 0, 0, 0, 0, 0, 66, 240, 86, 1, 1);
}
