#include "render/meters_buttons.h"

#include "app/screens.h"
#include "game/state.h"
#include "game/tick.h"
#include "render/draw.h"
#include "render/scale.h"
#include "store/game_status.h"

namespace {

struct Looks {
  int enabled[2], pressed[2], disabled[2];
};
constexpr Looks kUpArrow{{302, 326}, {303, 328}, {330, 327}};
constexpr Looks kDownArrow{{299, 323}, {300, 325}, {329, 324}};
constexpr Looks kSpinAll{{305, 331}, {306, 332}, {307, 333}};
constexpr Looks kMakeScore{{403, 406}, {404, 407}, {405, 408}};

int Pick(const int (&numbers)[2]) {
  return PlayPicture(numbers[0], numbers[1]);
}

// Loads the picture into slot 2 and copies it unchanged to the logical rectangle.
void DrawPicture(ce::HDC target, int picture, int x, int y, int width, int height) {
  LoadBitmapSlot(target, picture, 2);
  CopyScaled(target, x, y, width, height, BitmapSlotDC(2), 0, 0);
}

void DrawArrow(ce::HDC target, bool up, int reel, const int (&numbers)[2]) {
  const LogicalRect r = up ? UpArrowRect(reel) : DownArrowRect(reel);
  DrawPicture(target, Pick(numbers), r.left, r.top, 42, 15);
}

void DrawAllArrows(ce::HDC target, const int (&upNumbers)[2], const int (&downNumbers)[2]) {
  // One load per look: every arrow of a row is the same picture.
  LoadBitmapSlot(target, Pick(upNumbers), 2);
  for (int k = 0; k < kReels; ++k) {
    const LogicalRect r = UpArrowRect(k);
    CopyScaled(target, r.left, r.top, 42, 15, BitmapSlotDC(2), 0, 0);
  }
  LoadBitmapSlot(target, Pick(downNumbers), 2);
  for (int k = 0; k < kReels; ++k) {
    const LogicalRect r = DownArrowRect(k);
    CopyScaled(target, r.left, r.top, 42, 15, BitmapSlotDC(2), 0, 0);
  }
}

void DrawSpinAll(ce::HDC target, const int (&numbers)[2]) {
  DrawPicture(target, Pick(numbers), 164, 268, 52, 44);
}
void DrawMakeScore(ce::HDC target, const int (&numbers)[2]) {
  DrawPicture(target, Pick(numbers), 23, 270, 39, 36);
}

// The meter numbers' own font, made for the screen size in use.
ce::HFONT meterFont = nullptr;
std::int32_t meterFontMode = 0;

ce::HFONT MeterFont() {
  if (meterFont == nullptr || meterFontMode != display.DisplayMode) {
    if (meterFont != nullptr) ce::DeleteObject(meterFont);
    const bool large = display.DisplayMode == 3 || display.DisplayMode == 4;
    ce::LOGFONTW lf{};
    lf.lfHeight = large ? 25 : 13;
    lf.lfWeight = ce::FW_BOLD;
    const char16_t* face = u"Tahoma";
    for (int i = 0; face[i] != 0; ++i) lf.lfFaceName[i] = face[i];
    meterFont = ce::CreateFontIndirectW(&lf);
    meterFontMode = display.DisplayMode;
  }
  return meterFont;
}

int BarColour(std::int32_t life) {
  if (life <= 9) return 0;
  return life <= 19 ? 1 : 2;
}

}  // namespace

int PlayPicture(int small, int large) {
  return display.DisplayMode == 3 || display.DisplayMode == 4 ? large : small;
}

void CopyScaled(ce::HDC target, int x, int y, int width, int height, ce::HDC source, int sourceX,
                int sourceY) {
  if (source == nullptr) return;
  ce::BitBlt(target, ScaleX(x), ScaleY(y), ScaleX(width), ScaleY(height), source, ScaleX(sourceX),
             ScaleY(sourceY), ce::SRCCOPY);
}

void CopyScaledKeyed(ce::HDC target, int x, int y, int width, int height, ce::HDC source, int sourceX,
                     int sourceY) {
  if (source == nullptr) return;
  ce::TransparentBlt(target, ScaleX(x), ScaleY(y), ScaleX(width), ScaleY(height), source, ScaleX(sourceX),
                     ScaleY(sourceY), ScaleX(width), ScaleY(height), ce::RGB(255, 204, 255));
}

void EnableControls(ce::HDC target, int group) {
  switch (group) {
    case 1:
      DrawAllArrows(target, kUpArrow.enabled, kDownArrow.enabled);
      engine.reelButtonsReady = 1;
      break;
    case 2:
      DrawSpinAll(target, kSpinAll.enabled);
      engine.buttonPressed = 1;
      engine.spinButtonReady = 1;
      break;
    case 3:
      DrawMakeScore(target, kMakeScore.enabled);
      engine.makeScoreReady = 1;
      break;
    case 4:
      DrawPicture(target, PlayPicture(409, 412), 80, 273, 68, 31);
      engine.betKeysReady = 1;
      break;
    case 5:
      // Both keys in their normal look first, so the other key shows released.
      DrawPicture(target, PlayPicture(409, 412), 80, 273, 68, 31);
      DrawPicture(target, PlayPicture(411, 414), 114, 273, 34, 31);
      engine.betKeysReady = 1;
      break;
    case 6:
      DrawPicture(target, PlayPicture(409, 412), 80, 273, 68, 31);
      DrawPicture(target, PlayPicture(410, 413), 80, 273, 34, 31);
      engine.betKeysReady = 1;
      break;
    default:
      break;
  }
}

void DisableControls(ce::HDC target, int group) {
  switch (group) {
    case 1:
      DrawAllArrows(target, kUpArrow.disabled, kDownArrow.disabled);
      engine.reelButtonsReady = 0;
      break;
    case 2:
      DrawSpinAll(target, kSpinAll.disabled);
      engine.spinButtonReady = 0;
      break;
    case 3:
      DrawMakeScore(target, kMakeScore.disabled);
      engine.makeScoreReady = 0;
      break;
    case 5:
      DrawMakeScore(target, kMakeScore.pressed);
      engine.makeScoreReady = 0;
      break;
    default:
      break;
  }
}

void ArrowButtonStep(ce::HDC target) {
  const std::int32_t b = requests.buttonToRedraw;
  if (b < 2 || b > 11) return;
  const bool up = b <= 6;
  const int reel = up ? b - 2 : b - 7;
  const Looks& looks = up ? kUpArrow : kDownArrow;
  if (engine.buttonPressed == 1) {
    DrawArrow(target, up, reel, looks.pressed);
  } else {
    DrawArrow(target, up, reel, looks.enabled);
    engine.buttonPressed = 1;
  }
  EmptyBitmapSlot(2);
  requests.buttonToRedraw = 0;
}

void SpinButtonStep(ce::HDC target) {
  switch (requests.spinButtonLook) {
    case 12:
      EnableControls(target, 2);
      break;
    case 13:
      DrawSpinAll(target, kSpinAll.pressed);
      EmptyBitmapSlot(2);
      break;
    case 14:
      DisableControls(target, 2);
      break;
    default:
      return;
  }
  requests.spinButtonLook = 0;
}

void PanelStep(ce::HDC target) {
  if (cursorMark > 0) {
    // Redrawing all ten arrows wipes the marks of a reel no longer selected.
    EnableControls(target, 1);
    requests.panelRequest = 0;
    return;
  }
  switch (requests.panelRequest) {
    case 20:
      EnableControls(target, 1);
      break;
    case 22:
      EnableControls(target, 3);
      break;
    case 23:
      DisableControls(target, 3);
      break;
    case 24:
      DisableControls(target, 1);
      DisableControls(target, 3);
      break;
    case 25:
      DisableControls(target, 1);
      DisableControls(target, 2);
      DisableControls(target, 5);
      break;
    case 30:
      EnableControls(target, 4);
      break;
    case 31:
      EnableControls(target, 5);
      break;
    case 32:
      EnableControls(target, 6);
      break;
    default:
      return;
  }
  requests.panelRequest = 0;
}

void ReleaseMeterFont() {
  if (meterFont != nullptr) ce::DeleteObject(meterFont);
  meterFont = nullptr;
  meterFontMode = 0;
}

void MetersStep(ce::HWND window, ce::HDC target) {
  if (requests.metersDirty <= 0) return;
  static constexpr int kBar[3][3] = {{255, 0, 51}, {252, 191, 0}, {51, 204, 51}};

  if (ce::HDC bet = BitmapSlotDC(3)) {
    ce::SelectObject(bet, MeterFont());
    FillBox(bet, 0, 0, 0, 0, 0, 18, 14);
    DrawNumberBox(bet, gameStatus.betPercent, 252, 191, 0, 0, 0, 0, 0, 0, 18, 14, 1, 2);
    CopyScaled(target, 106, 254, 18, 14, bet, 0, 0);
  }

  TransferScore(window);

  if (ce::HDC score = BitmapSlotDC(4)) {
    ce::SelectObject(score, MeterFont());
    FillBox(score, 0, 0, 0, 0, 0, 54, 14);
    DrawNumberBox(score, gameStatus.score, 252, 191, 0, 0, 0, 0, 0, 0, 54, 14, 1, 2);
    CopyScaled(target, 34, 254, 54, 14, score, 0, 0);
  }

  if (ce::HDC bar = BitmapSlotDC(5)) {
    const std::int32_t life = gameStatus.life;
    FillBox(bar, 74, 80, 89, 0, 0, 45, 7);
    if (life >= 1 && life <= 30) {
      const int* c = kBar[BarColour(life)];
      FillBox(bar, c[0], c[1], c[2], 0, 0, life * 45 / 30, 7);
    }
    CopyScaled(target, 151, 258, 45, 7, bar, 0, 0);
  }
  requests.metersDirty = 0;
}
