// The main menu: composed once into slot 1, copied to the screen at every paint.
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/menu_layout.h"
#include "screens/screen_common.h"
#include "store/game_status.h"

MenuLayout menuLayout;

namespace {

constexpr ce::COLORREF kMenuKey = ce::RGB(204, 153, 255);
constexpr ce::COLORREF kKey = ce::RGB(255, 204, 255);

void BuildMenu(ce::HDC target) {
  FreeBitmapSlots();

  // Building the menu ends whatever game was on the board.
  gameStatus.gameMode = NoGame;
  engine.gamePhase = NotStarted;
  requests.playSetupPending = 1;
  shell.helpShownThisSession = 0;
  keyCursor = 0;
  cursorMark = 0;
  ResetGame();

  menuLayout = MenuLayout{};
  const MenuLayout& m = menuLayout;

  const bool large = display.DisplayMode == 3;
  CreateBitmapSlot(target, large ? 480 : 240, large ? 640 : 320, 1);
  LoadBitmapSlot(target, 418, 2);
  LoadBitmapSlot(target, PictureFor(421, 422), 3);
  LoadBitmapSlot(target, PictureFor(420, 423), 4);
  LoadBitmapSlot(target, PictureFor(419, 424), 5);

  ce::HDC canvas = BitmapSlotDC(1);
  FillBox(canvas, 0, 0, 0, 0, 0, 240, 320);
  if (BitmapSlotDC(2) != nullptr)
    ce::StretchBlt(canvas, 0, 0, ScaleX(240), ScaleY(320), BitmapSlotDC(2), 0, 0, 240, 320, ce::SRCCOPY);
  if (BitmapSlotDC(3) != nullptr) CopyKeyed(canvas, BitmapSlotDC(3), m.logoX, m.logoY, 220, 120, kMenuKey);
  if (BitmapSlotDC(4) != nullptr) CopyKeyed(canvas, BitmapSlotDC(4), m.menuX, m.menuY, 114, 138, kMenuKey);
  if (BitmapSlotDC(5) != nullptr) CopyKeyed(canvas, BitmapSlotDC(5), m.makerX, m.makerY, 70, 16, kMenuKey);

  LoadBitmapSlot(target, PictureFor(162, 163), 5);
  if (BitmapSlotDC(5) != nullptr) CopyKeyed(canvas, BitmapSlotDC(5), m.closeX, m.closeY, 17, 17, kKey);

  CopyWholeScreen(target, canvas);
  shell.BackgroundReady = 1;
  EmptyBitmapSlots(2, 5);  // the canvas stays in slot 1
}

}  // namespace

void PaintMainMenu(ce::HWND, ce::HDC target) {
  if (LandscapeMode()) {
    DrawLandscapeNotice(target);
    return;
  }
  if (shell.BackgroundReady == 0) {
    BuildMenu(target);
    return;
  }
  CopyWholeScreen(target, BitmapSlotDC(1));
  if (cursorMark >= 1 && cursorMark <= 5)
    BlitResourceKeyed(target, PictureFor(439, 440), ScaleX(6), ScaleY(12), menuLayout.menuX - 8,
                      menuLayout.menuY + kMenuMarkerOffset[cursorMark], 255, 204, 255);
}
