#include "render/play_screen.h"

#include "app/screens.h"
#include "game/board.h"
#include "game/state.h"
#include "game/tick.h"
#include "render/draw.h"
#include "render/meters_buttons.h"
#include "render/scale.h"
#include "store/game_status.h"

std::int32_t topAreaDirty = 0;
IconAnchor iconAnchor;
Surface itemStrip;
Surface boardCanvas;

namespace {

constexpr int kCellW = 42;
constexpr int kCellH = 45;

// itemStrip in its left-to-right order: item code and picture (mode 1 / mode 3).
struct StripEntry {
  std::int32_t code;
  int small, large;
};
constexpr StripEntry kStrip[8] = {{Blank, 289, 313},      {Strawberry, 290, 314}, {Bell, 291, 315},
                                  {Watermelon, 292, 316}, {Cherries, 293, 319},   {Orange, 296, 320},
                                  {Grapes, 297, 321},     {Super, 298, 322}};

void ReleaseSurface(Surface& s) {
  if (s.dc != nullptr) {
    ce::SelectObject(s.dc, s.previous);
    ce::DeleteDC(s.dc);
  }
  if (s.picture != nullptr) ce::DeleteObject(s.picture);
  s = Surface{};
}

void MakeSurface(Surface& s, ce::HDC reference, int width, int height) {
  ReleaseSurface(s);
  s.picture = ce::CreateCompatibleBitmap(reference, ScaleX(width), ScaleY(height));
  s.dc = ce::CreateCompatibleDC(reference);
  s.previous = ce::SelectObject(s.dc, s.picture);
}

// Canvas position of a place code; false for a code that names no place.
bool PlacePosition(std::int32_t place, int* x, int* y) {
  if (place >= 0 && place <= 14) {
    *x = kCellW * (place % 5);
    *y = kCellH + kCellH * (place / 5);
    return true;
  }
  if (place >= 101 && place <= 105) {
    *x = kCellW * (place - 101);
    *y = 0;
    return true;
  }
  if (place >= 106 && place <= 110) {
    *x = kCellW * (place - 106);
    *y = 180;
    return true;
  }
  return false;
}

// Copies columns [fromX, fromX + width) of an item's picture into the canvas.
void DrawItemPart(std::int32_t code, int fromX, int width, int x, int y) {
  const int stripX = StripX(code);
  if (stripX < 0 || width <= 0) return;
  CopyScaled(boardCanvas.dc, x, y, width, kCellH, itemStrip.dc, stripX + fromX, 0);
}

void DrawItem(std::int32_t code, int x, int y) {
  DrawItemPart(code, 0, kCellW, x, y);
}

void DrawMovingPieces(int direction) {
  for (int s = 1; s <= 20; ++s) {
    if (requests.slotItem[s] == kSlotEmpty) continue;
    int x = 0, y = 0;
    if (!PlacePosition(requests.slotPlace[s], &x, &y)) continue;
    DrawItem(requests.slotItem[s], x, y + direction * requests.slotOffset[s]);
  }
}

// The old item leaves to the left over the cell's inner 38 columns while the
// new one comes in from the right.
void DrawReplacement(std::int32_t oldCode, std::int32_t cell, std::int32_t o) {
  int x = 0, y = 0;
  if (cell < 0 || cell > 14 || !PlacePosition(cell, &x, &y)) return;
  if (o < 39) DrawItemPart(oldCode, o + 2, 38 - o, x + 2, y);
  const std::int32_t newCode = gameStatus.pendingItem[cell] / 100;
  if (o >= 3 && o <= 37) {
    DrawItemPart(newCode, 2, o - 2, x + 42 - o, y);
  } else if (o >= 38) {
    DrawItemPart(newCode, 2, 38, x + 2, y);
  }
}

void DrawWholeBoard() {
  for (int i = 0; i < kCells; ++i) {
    int x = 0, y = 0;
    PlacePosition(i, &x, &y);
    DrawItem(BoardValue(i) / 100, x, y);
  }
}

struct LinePicture {
  int small, large, width, height, x, y;
};

LinePicture MatchLinePicture(int n) {
  if (n <= 18) {
    // Six horizontal groups per row: five cells, four, three, then shifted right.
    static constexpr int kKinds[6][4] = {{351, 358, 210, 0},  {350, 357, 168, 0},  {349, 356, 126, 0},
                                         {350, 357, 168, 42}, {349, 356, 126, 42}, {349, 356, 126, 84}};
    const int* k = kKinds[(n - 1) % 6];
    return {k[0], k[1], k[2], 8, k[3], 65 + 45 * ((n - 1) / 6)};
  }
  if (n <= 21) return {348, 354, 126, 135, 42 * (n - 19), 45};
  if (n <= 24) return {347, 353, 126, 135, 42 * (24 - n), 45};
  return {346, 352, 8, 135, 17 + 42 * (n - 25), 45};
}

void DrawMatchLines(ce::HDC target) {
  for (int n = 1; n <= kLines; ++n) {
    if (requests.matchLine[n] != 1) continue;
    const LinePicture p = MatchLinePicture(n);
    LoadBitmapSlot(target, PlayPicture(p.small, p.large), 2);
    CopyScaledKeyed(boardCanvas.dc, p.x, p.y, p.width, p.height, BitmapSlotDC(2), 0, 0);
    EmptyBitmapSlot(2);
  }
}

// BET UP and GAME OVER: loaded into slot 1 at state 1, drawn while the state is 2.
void ServeBanner(ce::HDC target, std::int32_t& state, int small, int large, int x, int y, int width) {
  if (state == 1) {
    LoadBitmapSlot(target, PlayPicture(small, large), 1);
    state = 2;
  }
  if (state == 2) CopyScaledKeyed(boardCanvas.dc, x, y, width, 40, BitmapSlotDC(1), 0, 0);
}

void ServeScoreBanner(ce::HDC target) {
  if (requests.scoreBanner == 1) {
    LoadBitmapSlot(target, PlayPicture(402, 417), 2);
    CreateBitmapSlot(target, ScaleX(176), ScaleY(40), 3);
    ce::HDC banner = BitmapSlotDC(3);
    CopyScaled(banner, 0, 0, 176, 40, BitmapSlotDC(2), 0, 0);
    ce::SelectObject(banner, SelectUiFont(u"Tahoma", 18, 700));
    DrawTextBox(banner, u"You scored:", 102, 0, 0, 0, 0, 0, 13, 10, 109, 30, 1, 0);
    DrawNumberBox(banner, gameStatus.score, 255, 0, 0, 0, 0, 0, 107, 10, 203, 30, 1, 0);
    requests.scoreBanner = 2;
  }
  if (requests.scoreBanner == 2) CopyScaledKeyed(boardCanvas.dc, 17, 116, 176, 40, BitmapSlotDC(3), 0, 0);
}

void DrawCursorMarks(ce::HDC target) {
  const std::int32_t n = cursorMark;
  if (n < 1 || n > 5) return;
  const bool large = display.DisplayMode == 3 || display.DisplayMode == 4;
  const int picture = large ? 440 : 439;
  const int w = large ? 12 : 6, h = large ? 24 : 12;
  const int x = engine.boardX + 10 + 42 * (n - 1);
  BlitResourceKeyed(target, picture, w, h, x, engine.boardY - 15, 255, 204, 255);
  BlitResourceKeyed(target, picture, w, h, x, engine.boardY + 138, 255, 204, 255);
}

}  // namespace

int StripX(std::int32_t itemCode) {
  for (int i = 0; i < 8; ++i)
    if (kStrip[i].code == itemCode) return kCellW * i;
  return -1;
}

void ReleasePlaySurfaces() {
  ReleaseSurface(itemStrip);
  ReleaseSurface(boardCanvas);
  ReleaseMeterFont();
}

void SetUpPlayScreen(ce::HDC target) {
  engine.replaceStep = gameStatus.gameSpeed == 1 ? 1 : 3;
  const bool large = display.DisplayMode == 3;

  CreateBitmapSlot(target, large ? 480 : 240, large ? 640 : 320, 1);
  LoadBitmapSlot(target, PlayPicture(286, 309), 2);
  LoadBitmapSlot(target, PlayPicture(287, 310), 3);
  LoadBitmapSlot(target, PlayPicture(288, 311), 4);
  LoadBitmapSlot(target, PlayPicture(285, 308), 5);
  ce::HDC screen = BitmapSlotDC(1);
  FillBox(screen, 0, 0, 0, 0, 0, 240, 320);
  CopyScaled(screen, 0, 0, 15, 320, BitmapSlotDC(2), 0, 0);
  CopyScaled(screen, 225, 0, 15, 320, BitmapSlotDC(3), 0, 0);
  CopyScaled(screen, 0, 0, 240, 15, BitmapSlotDC(4), 0, 0);
  CopyScaled(screen, 0, 244, 240, 76, BitmapSlotDC(5), 0, 0);

  MakeSurface(itemStrip, target, 336, kCellH);
  for (int i = 0; i < 8; ++i) {
    LoadBitmapSlot(target, PlayPicture(kStrip[i].small, kStrip[i].large), 2);
    CopyScaled(itemStrip.dc, kCellW * i, 0, kCellW, kCellH, BitmapSlotDC(2), 0, 0);
  }

  MakeSurface(boardCanvas, target, 210, 180);
  FillBox(boardCanvas.dc, 255, 255, 255, 0, 0, 210, 180);
  for (int k = 0; k < kReels; ++k) DrawItem(Blank, kCellW * k, kCellH);
  CopyScaled(boardCanvas.dc, 0, 90, 210, kCellH, boardCanvas.dc, 0, kCellH);
  CopyScaled(boardCanvas.dc, 0, 135, 210, kCellH, boardCanvas.dc, 0, kCellH);

  CopyScaled(screen, engine.boardX, engine.boardY, 210, 135, boardCanvas.dc, 0, kCellH);

  LoadBitmapSlot(target, PlayPicture(302, 326), 2);
  for (int k = 0; k < kReels; ++k)
    CopyScaled(screen, engine.boardX + 42 * k, engine.boardY - 15, 42, 15, BitmapSlotDC(2), 0, 0);
  LoadBitmapSlot(target, PlayPicture(299, 323), 2);
  for (int k = 0; k < kReels; ++k)
    CopyScaled(screen, engine.boardX + 42 * k, engine.boardY + 136, 42, 15, BitmapSlotDC(2), 0, 0);
  engine.reelButtonsReady = 1;
  LoadBitmapSlot(target, PlayPicture(307, 333), 2);
  CopyScaled(screen, 164, 268, 52, 44, BitmapSlotDC(2), 0, 0);

  LoadBitmapSlot(target, PlayPicture(162, 163), 2);
  CopyScaledKeyed(screen, iconAnchor.x, iconAnchor.y, 17, 17, BitmapSlotDC(2), 0, 0);
  LoadBitmapSlot(target, PlayPicture(304, 312), 2);
  CopyScaledKeyed(screen, iconAnchor.x - 18, iconAnchor.y, 17, 17, BitmapSlotDC(2), 0, 0);

  DrawHiScoreSummary(screen);
  CopyScaled(target, 0, 0, 240, 320, screen, 0, 0);

  if (engine.resumePending == 0) BeginNewGame();
  if (gameStatus.gameMode == Melvoria) EnableControls(target, 4);

  CreateBitmapSlot(target, ScaleX(18), ScaleY(14), 3);
  CreateBitmapSlot(target, ScaleX(54), ScaleY(14), 4);
  CreateBitmapSlot(target, ScaleX(45), ScaleY(7), 5);
  EmptyBitmapSlot(1);
  EmptyBitmapSlot(2);
}

void PaintPlayScreen(ce::HWND window, ce::HDC target) {
  const std::int32_t mode = display.DisplayMode;
  const bool gameScreen = mode == 1 || mode == 3;

  if (engine.resumePending == 1) requests.playSetupPending = 1;
  if (requests.playSetupPending > 0 && gameScreen) {
    engine.boardX = 15;
    engine.boardY = 89;
    iconAnchor = IconAnchor{};
    SetUpPlayScreen(target);
    GameTick(window);
  }
  requests.playSetupPending = 0;

  if (engine.resumePending == 1) ContinueGame(window);

  if (topAreaDirty > 0) {
    FillBox(target, 0, 0, 0, 14, 35, 226, 89);
    DrawHiScoreSummary(target);
    EnableControls(target, 1);
    topAreaDirty = 0;
  }

  ArrowButtonStep(target);
  SpinButtonStep(target);

  // Without the canvas (no set-up yet) there is nothing to draw reels into.
  const bool canvas = boardCanvas.dc != nullptr && itemStrip.dc != nullptr;
  if (requests.reelsMovedDown > 0) {
    if (canvas) DrawMovingPieces(+1);
    requests.reelsMovedDown = 0;
  }
  if (requests.reelsMovedUp > 0) {
    if (canvas) DrawMovingPieces(-1);
    requests.reelsMovedUp = 0;
  }

  MetersStep(window, target);

  if (requests.replaceDirty >= 1) {
    if (canvas)
      for (int s = 0; s <= 14; ++s)
        if (requests.slotItem[s] != kSlotEmpty)
          DrawReplacement(requests.slotItem[s], requests.slotPlace[s], requests.slotOffset[s]);
    requests.replaceDirty = 0;
  }
  if (requests.boardDirty > 0) {
    if (canvas) DrawWholeBoard();
    requests.boardDirty = 0;
  }

  PanelStep(target);

  if (requests.matchLinesDirty > 0) {
    if (canvas) DrawMatchLines(target);
    requests.matchLinesDirty = 0;
  }
  if (requests.refillRequest > 0) {
    RefillBlankCells();
    requests.refillRequest = 0;
  }

  if (canvas) {
    ServeBanner(target, engine.betUpState, 359, 360, 44, 94, 122);
    ServeBanner(target, requests.gameOverBanner, 401, 416, 17, 66, 176);
    ServeScoreBanner(target);
  }
  DrawCursorMarks(target);

  if (mode == 2 || mode == 4) {
    ce::KillTimer(window, kGameTimer);
    DrawLandscapeNotice(target);
    engine.resumePending = 1;
  } else if (canvas) {
    CopyScaled(target, engine.boardX, engine.boardY, 210, 135, boardCanvas.dc, 0, kCellH);
  }
}
