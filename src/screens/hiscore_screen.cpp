// The hi-score screen (one table, its tabs, reset and export icons) and the
// name entry that a qualifying game ends on.
#include "screens/hiscore_screen.h"

#include <algorithm>
#include <string>

#include "app/leaving.h"
#include "app/screens.h"
#include "app/shell_state.h"
#include "game/board.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/screen_common.h"
#include "store/game_status.h"
#include "store/hiscores.h"

char16_t nameBuffer[kNameBufferUnits] = {};

namespace {

struct TablePictures {
  int p[2], q[2], r[2], title[2];
  int titleX, titleWidth;
};
// Indexed by table - 1; [0] small screen, [1] large screen.
constexpr TablePictures kTablePictures[3] = {
    {{293, 319}, {297, 321}, {292, 316}, {365, 376}, 78, 84},
    {{297, 321}, {298, 322}, {296, 320}, {367, 378}, 78, 84},
    {{292, 316}, {298, 322}, {291, 315}, {366, 377}, 46, 148},
};

// shownTable is set only from 1..3, but the pictures are looked up safely anyway.
int ShownTableIndex() {
  return std::clamp<std::int32_t>(engine.shownTable, 1, 3) - 1;
}

int Pick(const int (&pair)[2]) {
  return PictureFor(pair[0], pair[1]);
}

void CopySlot(ce::HDC target, int slot, int x, int y, int width, int height) {
  if (BitmapSlotDC(slot) != nullptr)
    ce::BitBlt(target, ScaleX(x), ScaleY(y), ScaleX(width), ScaleY(height), BitmapSlotDC(slot), 0, 0,
               ce::SRCCOPY);
}

void BuildHiScores(ce::HDC target) {
  const bool large = display.DisplayMode == 3;
  CreateBitmapSlot(target, large ? 480 : 240, large ? 640 : 320, 5);
  ce::HDC canvas = BitmapSlotDC(5);
  FillBox(canvas, 0, 0, 0, 0, 0, 240, 320);

  const TablePictures& pictures = kTablePictures[ShownTableIndex()];
  LoadBitmapSlot(target, Pick(pictures.p), 2);
  LoadBitmapSlot(target, Pick(pictures.q), 3);
  LoadBitmapSlot(target, Pick(pictures.r), 4);
  LoadBitmapSlot(target, Pick(pictures.title), 1);

  constexpr int kTopRowSlots[6] = {2, 3, 4, 2, 3, 2};  // P Q R P Q P
  for (int i = 0; i < 6; ++i) CopySlot(canvas, kTopRowSlots[i], 42 * i, 0, 42, 45);
  CopySlot(canvas, 1, pictures.titleX, 62, pictures.titleWidth, 38);
  FillBox(canvas, 103, 0, 0, 20, 98, 220, 100);

  const HiScoreTable* table = HiScoreTableFor(engine.shownTable);
  for (int i = 0; i < 5 && table != nullptr; ++i) {
    const int y = 110 + 32 * i;
    ce::SelectObject(canvas, SelectUiFont(u"Tahoma", 20, 700));
    DrawNumberBox(canvas, i + 1, 255, 255, 255, 0, 0, 0, 20, y, 70, y + 20, 1, 0);
    DrawTextBox(canvas, u".", 255, 255, 255, 0, 0, 0, 32, y, 220, y + 20, 1, 0);
    const std::u16string name = EntryName(table->entries[i]);
    DrawTextBox(canvas, name.c_str(), 255, 255, 255, 0, 0, 0, 44, y, 220, y + 20, 1, 0);
    DrawNumberBox(canvas, table->entries[i].score, 235, 255, 0, 0, 0, 0, 116, y, 196, y + 20, 1, 2);
    ce::SelectObject(canvas, SelectUiFont(u"Tahoma", 20, 400));
    DrawTextBox(canvas, u"Pt.", 29, 136, 3, 0, 0, 0, 200, y, 220, y + 26, 1, 0);
  }

  if (large)
    BlitResourceKeyed(canvas, 386, 60, 64, 4, 286, 254, 203, 254);
  else
    BlitResourceKeyed(canvas, PictureFor(368, 386), 30, 32, 4, 286, 255, 204, 255);
  constexpr int kTabX[3] = {161, 186, 211};
  for (int t = 0; t < 3; ++t) {
    const bool selected = t == ShownTableIndex();
    const int picture = selected ? PictureFor(372 + t, 382 + t) : PictureFor(369 + t, 379 + t);
    BlitResource(canvas, picture, ScaleX(24), ScaleY(32), kTabX[t], 286);
  }
  BlitResource(canvas, PictureFor(375, 385), ScaleX(50), ScaleY(17), 190, 45);

  CopyWholeScreen(target, canvas);
  EmptyBitmapSlots(1, 4);
  shell.BackgroundReady = 1;
}

void DestroyEntryControls(ce::HWND window) {
  for (int id : {OkButtonId, CancelButtonId, NameBoxId}) {
    ce::HWND control = ce::GetDlgItem(window, id);
    if (control != nullptr) ce::DestroyWindow(control);
  }
}

void ShowEntryControls(ce::HWND window, int command) {
  for (int id : {OkButtonId, CancelButtonId, NameBoxId}) {
    ce::HWND control = ce::GetDlgItem(window, id);
    if (control != nullptr) ce::ShowWindow(control, command);
  }
}

void LeaveNameEntry(ce::HWND window) {
  shell.BackgroundReady = 0;
  shell.ScreenState = HiScores;
  InvalidateScreen(window, display.DisplayMode);
  gameStatus.gameMode = NoGame;
  ResetGame();
  gameStatus.spare56 = 0;
  engine.gamePhase = Idle;
}

// The name offered first: the one entered last into the table.
std::u16string OfferedName() {
  const HiScoreTable* table = HiScoreTableFor(engine.shownTable);
  if (table == nullptr) return {};
  const std::int32_t last = table->lastEntry >= 0 && table->lastEntry <= 4 ? table->lastEntry : 4;
  return EntryName(table->entries[last]);
}

// The name box's text into the name buffer; false when it is empty (or gone).
bool ReadNameBox(ce::HWND window) {
  std::fill(std::begin(nameBuffer), std::end(nameBuffer), u'\0');
  ce::HWND box = ce::GetDlgItem(window, NameBoxId);
  if (box != nullptr) ce::GetWindowTextW(box, nameBuffer, kNameBufferUnits);
  nameBuffer[kNameBufferUnits - 1] = u'\0';
  return nameBuffer[0] != u'\0';
}

void EnterName(ce::HWND window) {
  ce::SHFullScreen(window, ce::SHFS_HIDESIPBUTTON);
  DestroyEntryControls(window);
  InsertHiScore(nameBuffer, gameStatus.score, true, engine.shownTable);
  LeaveNameEntry(window);
}

void CreateEntryControls(ce::HWND window) {
  const ce::DWORD button = ce::WS_CHILD | ce::WS_VISIBLE | ce::BS_PUSHBUTTON;
  ce::CreateWindowExW(0, u"button", u"OK", button, ScaleX(30), ScaleY(172), ScaleX(80), ScaleY(22), window,
                      OkButtonId, shell.instance, nullptr);
  ce::CreateWindowExW(0, u"button", u"Cancel", button, ScaleX(130), ScaleY(172), ScaleX(80), ScaleY(22),
                      window, CancelButtonId, shell.instance, nullptr);
  ce::HWND box = ce::CreateWindowExW(
      0, u"EDIT", u"", ce::WS_CHILD | ce::WS_VISIBLE | ce::WS_BORDER | ce::ES_LEFT | ce::ES_AUTOHSCROLL,
      ScaleX(30), ScaleY(140), ScaleX(180), ScaleY(22), window, NameBoxId, shell.instance, nullptr);
  // The box takes no more than the stored name field keeps, so what the player
  // sees is what the table will show.
  ce::SendMessageW(box, ce::EM_LIMITTEXT, kNameUnits - 1, 0);
  if (HiScoreTableFor(engine.shownTable) != nullptr) ce::SetWindowTextW(box, OfferedName().c_str());
}

}  // namespace

void PaintHiScores(ce::HWND, ce::HDC target) {
  if (LandscapeMode()) {
    DrawLandscapeNotice(target);
    return;
  }
  if (shell.BackgroundReady != 0) {
    CopyWholeScreen(target, BitmapSlotDC(5));
    return;
  }
  BuildHiScores(target);
}

void PaintNewHiScore(ce::HWND window, ce::HDC target) {
  if (LandscapeMode()) {
    // The entry's controls would stand over the notice: hidden until the device turns back.
    ShowEntryControls(window, ce::SW_HIDE);
    DrawLandscapeNotice(target);
    return;
  }
  ShowEntryControls(window, ce::SW_SHOW);
  shell.popupHeight = ScaleY(210);
  DrawPopupFrame(target, u"New High Score", 255, 255, 255);
  FillBox(target, 0, 0, 0, 0, 210, 240, 320);
  BlitResource(target, PictureFor(400, 399), ScaleX(62), ScaleY(75), 18, 40);
  if (shell.BackgroundReady == 0) {
    CreateEntryControls(window);
    shell.BackgroundReady = 1;
  }
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 16, 700));
  DrawTextBox(target, u"Congratulations!", 255, 0, 0, 255, 255, 255, 74, 50, 230, 70, 0, 1);
  DrawTextBox(target, u"You have made\na new high score!", 0, 0, 0, 255, 255, 255, 74, 70, 230, 170, 0, 1);
  DrawTextBox(target, u"Enter your name below:", 0, 0, 0, 255, 255, 255, 30, 122, 230, 142, 0, 0);
  ce::SHFullScreen(window, ce::SHFS_SHOWSIPBUTTON);
}

void EnterNameOnClosing(ce::HWND window) {
  if (!ReadNameBox(window)) {
    // Emptied, or the entry not yet built: the name it offers.
    const std::u16string offered = OfferedName();
    const std::size_t n = std::min<std::size_t>(offered.size(), kNameBufferUnits - 1);
    std::copy_n(offered.begin(), n, nameBuffer);
  }
  EnterName(window);
}

void CancelNameEntry(ce::HWND window) {
  ce::SHFullScreen(window, ce::SHFS_HIDESIPBUTTON);
  DestroyEntryControls(window);
  LeaveNameEntry(window);
}

ce::LRESULT NewHiScoreCommand(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  const int id = ce::LOWORD(wParam);
  if (id == OkButtonId) {
    if (!ReadNameBox(window)) return 1;  // an empty name is refused; the entry stays
    EnterName(window);
    StoreForLater();
    return 1;
  }
  if (id == CancelButtonId) {
    CancelNameEntry(window);
    return 1;
  }
  return ce::DefWindowProcW(window, message, wParam, lParam);
}
