// The help popup before a game: the chosen mode explained by a demonstration
// that shows its next step at every paint of the content area (the popup timer
// repaints it every ten seconds, a tap at once).
#include "app/screens.h"
#include "app/shell_state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/screen_common.h"
#include "store/game_status.h"

namespace {

constexpr ce::UINT_PTR kPopupTimer = 1324;

struct Colour {
  int r, g, b;
};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kNumber{252, 191, 0};
constexpr Colour kReplay{0, 0, 150};

enum Weight { Bold = 700, Heavy = 900 };

void Font(ce::HDC target, Weight weight) {
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 14, weight));
}

void Text(ce::HDC target, const char16_t* text, Colour c, int left, int top, int right, int bottom,
          int align = 0) {
  DrawTextBox(target, text, c.r, c.g, c.b, 0, 0, 0, left, top, right, bottom, 1, align);
}

void Item(ce::HDC target, int small, int large, int x, int y) {
  BlitResource(target, PictureFor(small, large), ScaleX(42), ScaleY(45), x, y);
}
void Cherries(ce::HDC target, int x, int y) {
  Item(target, 293, 319, x, y);
}
void Watermelon(ce::HDC target, int x, int y) {
  Item(target, 292, 316, x, y);
}

void RedArrowDown(ce::HDC target, int x, int top, int bottom) {
  DrawLine(target, 255, 0, 0, x, top, x, bottom);
  DrawLine(target, 255, 0, 0, x + 6, bottom - 6, x, bottom);
  DrawLine(target, 255, 0, 0, x - 6, bottom - 6, x, bottom);
}

void LifeMeter(ce::HDC target) {
  FillBox(target, 60, 60, 60, 170, 178, 210, 186);
  FillBox(target, 255, 0, 0, 170, 178, 180, 186);
}

void PageE1(ce::HDC target) {
  Font(target, Bold);
  Text(target, u"It uses the 'casino slots' idea & turns it into an original puzzle game.", kBlack, 10, 40,
       230, 80);
  Text(target, u"You must make groups of 3 or more same fruits/items at any direction!", kRed, 10, 74, 230,
       114);
  Cherries(target, 36, 140);
  Cherries(target, 78, 140);
  Cherries(target, 120, 140);
  Watermelon(target, 162, 140);
  LoadBitmapSlot(target, PictureFor(349, 356), 2);
  if (BitmapSlotDC(2) != nullptr)
    ce::TransparentBlt(target, ScaleX(36), ScaleY(160), ScaleX(126), ScaleY(8), BitmapSlotDC(2), 0, 0,
                       ScaleX(126), ScaleY(8), ce::RGB(255, 204, 255));
  EmptyBitmapSlots(2, 2);
}

void PageE2(ce::HDC target) {
  Font(target, Heavy);
  Text(target, u"There are 2 ways of playing:", kBlack, 10, 40, 230, 60);
  Font(target, Bold);
  Text(target, u"1) Moving the fruits up or down...", kBlack, 10, 64, 230, 80);
  Text(target, u"By dragging and dropping,\nor using the screen buttons\nor using the hard keys.", kRed, 30,
       80, 230, 128);
  Text(target, u"2) clicking on the button 'Spin All'", kBlack, 10, 130, 230, 146);
  Text(target, u"It moves the fruits like casinos!", kRed, 30, 146, 230, 162);
}

void PageE3(ce::HDC target) {
  Font(target, Bold);
  Text(target, u"Below the fruits there are\n3 meters:", kRed, 10, 40, 230, 80);
  Text(
      target,
      u"(1) The first shows your score.\n(2) This is your bet percentage.\n      Fill the Life meter & raise "
      u"it!\n(3) The last is your Life meter.",
      kBlack, 10, 78, 230, 148);
  FillBox(target, 0, 0, 0, 20, 170, 220, 194);
  FillBox(target, 60, 60, 60, 30, 174, 90, 190);
  FillBox(target, 60, 60, 60, 110, 174, 150, 190);
  LifeMeter(target);
  Text(target, u"12%", kNumber, 110, 174, 150, 190, 1);
  Text(target, u"22425", kNumber, 30, 174, 86, 190, 2);
  Font(target, Heavy);
  Text(target, u"(1)", kBlack, 30, 154, 90, 170, 1);
  Text(target, u"(2)", kBlack, 110, 154, 150, 170, 1);
  Text(target, u"(3)", kBlack, 170, 154, 210, 170, 1);
}

void PageH1(ce::HDC target) {
  Font(target, Bold);
  Text(target,
       u"Hard mode is a timed, frantic\nversion of Easy. You have to play\nvery fast because your life meter",
       kBlack, 10, 40, 230, 88);
  Text(target, u"is dropping every second...", kRed, 10, 88, 230, 108);
  Watermelon(target, 26, 140);
  Watermelon(target, 68, 140);
  Watermelon(target, 110, 140);
  LifeMeter(target);
  RedArrowDown(target, 190, 150, 170);
}

void PageM1(ce::HDC target) {
  Font(target, Bold);
  Text(target, u"At this mode you can bet your score using the bet keys. Use the 'Spin All'", kBlack, 10, 40,
       230, 88);
  Text(target, u"button more than moving the fruits because you lose less life!", kRed, 10, 88, 230, 136);
  BlitResource(target, PictureFor(409, 412), ScaleX(68), ScaleY(31), 86, 156);
  RedArrowDown(target, 100, 130, 150);
}

void Replay(ce::HDC target, int left, int top, int right, int bottom, int align) {
  Font(target, Heavy);
  Text(target, u"-Replay-", kReplay, left, top, right, bottom, align);
}

// Draws step helpPage of the mode and returns the next step, or -1 when the
// mode and step name no step (then nothing is drawn).
int DrawStep(ce::HDC target, std::int32_t mode, std::int32_t page) {
  auto blank = [&] { FillBox(target, 255, 255, 255, 10, 28, 230, 206); };
  if (page < 0) return -1;
  switch (mode) {
    case 1:
      blank();
      if (page == 0) {
        PageE1(target);
        return 1;
      }
      if (page == 1) {
        PageE2(target);
        return 2;
      }
      PageE3(target);
      if (page == 2) return 3;
      Replay(target, 150, 58, 230, 80, 2);
      return 4;
    case 2:
      if (page > 2) return -1;
      blank();
      PageH1(target);
      if (page == 0) return 1;
      Replay(target, 10, 110, 230, 130, 1);
      return 2;
    case 3:
      if (page > 2) return -1;
      blank();
      PageM1(target);
      if (page == 0) return 1;
      BlitResource(target, PictureFor(411, 414), ScaleX(34), ScaleY(31), 120, 156);
      Replay(target, 110, 130, 230, 150, 1);
      return 2;
    default:
      return -1;
  }
}

const char16_t* TitleFor(std::int32_t mode) {
  switch (mode) {
    case 1:
      return u"EASY - GAME OBJECTIVE:";
    case 2:
      return u"HARD:";
    case 3:
      return u"MELVORIA:";
    default:
      return u"";
  }
}

}  // namespace

void PaintHelp(ce::HWND popup, ce::HDC target) {
  if (LandscapeMode()) {
    ClosePopupForLandscape(popup);
    return;
  }
  DrawPopupFrame(target, TitleFor(shell.pendingMode), 255, 255, 255);
  BlitResourceKeyed(target, gameStatus.helpEnabled != 0 ? PictureFor(256, 266) : PictureFor(255, 265),
                    ScaleX(19), ScaleY(16), 10, 212, 255, 204, 255);
  if (shell.popupControls == 0) {
    CreatePopupOkButton(popup, 180, 208, 46, 20);
    ce::SetTimer(popup, kPopupTimer, 10000, nullptr);
    shell.popupControls = 1;
  }
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 14, 400));
  DrawTextBox(target, u"Show this window again", 0, 0, 0, 0, 0, 0, 34, 213, 200, 230, 1, 0);
  const int next = DrawStep(target, shell.pendingMode, shell.helpPage);
  if (next >= 0) shell.helpPage = next;
}
