// The settings screen: the frame and fixed texts once, the values at every paint.
#include "app/screens.h"
#include "app/shell_state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/screen_common.h"
#include "store/game_status.h"

namespace {

constexpr ce::COLORREF kKey = ce::RGB(255, 204, 255);

void DrawFrame(ce::HDC target) {
  FillBox(target, 222, 223, 222, 0, 0, 240, 320);
  FillBox(target, 198, 199, 198, 0, 0, 240, 25);
  FillBox(target, 57, 56, 57, 0, 0, 240, 2);
  FillBox(target, 57, 56, 57, 0, 318, 240, 320);
  FillBox(target, 57, 56, 57, 0, 0, 2, 320);
  FillBox(target, 57, 56, 57, 238, 0, 240, 320);
  const int corner = ScaleX(4);
  BlitResource(target, PictureFor(275, 280), corner, corner, 0, 0);
  BlitResource(target, PictureFor(276, 281), corner, corner, 236, 0);
  BlitResource(target, PictureFor(277, 282), corner, corner, 0, 316);
  BlitResource(target, PictureFor(278, 283), corner, corner, 236, 316);
  FillBox(target, 115, 117, 115, 2, 25, 238, 26);
  FillBox(target, 115, 117, 115, 214, 2, 215, 25);
  BlitResource(target, PictureFor(279, 284), ScaleX(17), ScaleY(17), 218, 5);
  ce::HGDIOBJ previous = ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 900));
  DrawTextBox(target, u"Game Settings", 115, 117, 115, 0, 0, 0, 0, 6, 218, 24, 1, 1);
  ce::SelectObject(target, previous);
}

void DrawCheckBox(ce::HDC target, bool ticked, int x, int y) {
  BlitResourceKeyed(target, ticked ? PictureFor(256, 266) : PictureFor(255, 265), ScaleX(19), ScaleY(16), x,
                    y, ce::GetRValue(kKey), ce::GetGValue(kKey), ce::GetBValue(kKey));
}

void DrawVolumeControl(ce::HDC target, std::int32_t volume) {
  BlitResource(target, PictureFor(259, 274), ScaleX(20), ScaleY(23), 15, 230);
  const int loudness = volume < 41   ? PictureFor(264, 273)
                       : volume < 80 ? PictureFor(263, 272)
                                     : PictureFor(262, 271);
  BlitResource(target, loudness, ScaleX(12), ScaleY(23), 35, 230);

  LoadBitmapSlot(target, PictureFor(260, 269), 1);
  LoadBitmapSlot(target, PictureFor(261, 270), 2);
  CreateBitmapSlot(target, ScaleX(113), ScaleY(23), 3);
  ce::HDC control = BitmapSlotDC(3);
  if (control != nullptr) {
    if (BitmapSlotDC(1) != nullptr)
      ce::BitBlt(control, 0, 0, ScaleX(113), ScaleY(23), BitmapSlotDC(1), 0, 0, ce::SRCCOPY);
    if (BitmapSlotDC(2) != nullptr)
      ce::BitBlt(control, ScaleX(volume), 0, ScaleX(13), ScaleY(23), BitmapSlotDC(2), 0, 0, ce::SRCCOPY);
    ce::BitBlt(target, ScaleX(56), ScaleY(230), ScaleX(113), ScaleY(23), control, 0, 0, ce::SRCCOPY);
  }
  EmptyBitmapSlots(1, 3);
}

void DrawValues(ce::HDC target) {
  const GameStatus& g = gameStatus;
  DrawCheckBox(target, g.joystickControl != 0, 15, 54);
  DrawCheckBox(target, g.helpEnabled != 0, 15, 96);
  if (g.gameSpeed >= 1 && g.gameSpeed <= 3) {
    const char16_t* captions[3] = {u"Normal", u"Fast", u"Fastest"};
    for (int speed = 1; speed <= 3; ++speed) {
      const bool selected = speed == g.gameSpeed;
      const int fill[3] = {selected ? 41 : 255, selected ? 134 : 255, selected ? 222 : 255};
      const int text = selected ? 255 : 0;
      DrawRoundButton(target, captions[speed - 1], 15, 138 + 22 * (speed - 1), 100, 20, 0, 0, fill[0],
                      fill[1], fill[2], text, text, text);
    }
  }
  DrawCheckBox(target, g.soundOn == 0, 176, 232);
  DrawVolumeControl(target, g.volume);
  if (shell.settingsOkPressed != 0)
    DrawRoundButton(target, u"OK", 84, 282, 80, 22, 10, 22, 41, 134, 222, 255, 255, 255);
  else
    DrawRoundButton(target, u"OK", 84, 282, 80, 22, 10, 22, 255, 255, 255, 0, 0, 0);
}

void DrawFixedTexts(ce::HDC target) {
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 700));
  const int grey[3] = {115, 117, 115};
  auto heading = [&](const char16_t* text, int lineY) {
    DrawLine(target, grey[0], grey[1], grey[2], 4, lineY, 236, lineY);
    DrawTextBox(target, text, grey[0], grey[1], grey[2], 0, 0, 0, 10, lineY - 16, 150, lineY, 1, 0);
  };
  heading(u"Control", 48);
  // Wider than its neighbours: in bold on the small screen the label needs more than 110 pixels.
  DrawTextBox(target, u"Use PDAs Joystick", 0, 0, 0, 0, 0, 0, 40, 54, 236, 70, 1, 0);
  heading(u"Help", 90);
  DrawTextBox(target, u"Enable Help", 0, 0, 0, 0, 0, 0, 40, 96, 150, 112, 1, 0);
  heading(u"Game Speed", 132);
  heading(u"Sound Settings", 222);
  DrawTextBox(target, u"Mute", 0, 0, 0, 0, 0, 0, 198, 232, 240, 252, 1, 0);
}

}  // namespace

void PaintSettings(ce::HWND window, ce::HDC target) {
  if (LandscapeMode()) {
    shell.BackgroundReady = 0;
    shell.ScreenState = MainMenu;
    InvalidateScreen(window, display.DisplayMode);
    return;
  }
  const bool build = shell.BackgroundReady == 0;
  if (build) DrawFrame(target);
  DrawValues(target);
  if (build) {
    DrawFixedTexts(target);
    FreeBitmapSlots();
    shell.BackgroundReady = 1;
  }
}
