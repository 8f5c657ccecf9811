#include "app/screens.h"
#include "render/draw.h"
#include "store/game_status.h"
#include "store/hiscores.h"

void DrawHiScoreSummary(ce::HDC target) {
  FillBox(target, 29, 136, 3, 30, 34, 210, 35);
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 700));
  DrawTextBox(target, u"1st:", 29, 136, 3, 0, 0, 0, 30, 36, 66, 56, 1, 0);
  DrawTextBox(target, u"5th:", 29, 136, 3, 0, 0, 0, 30, 52, 66, 72, 1, 0);
  DrawTextBox(target, u"Pt.", 29, 136, 3, 0, 0, 0, 180, 36, 210, 56, 1, 2);
  DrawTextBox(target, u"Pt.", 29, 136, 3, 0, 0, 0, 180, 50, 210, 70, 1, 2);

  static constexpr const char16_t* kTitles[3] = {u"EASY - SCORES", u"HARD - SCORES", u"MELVORIA"};
  const std::int32_t mode = gameStatus.gameMode;
  const HiScoreTable* table = HiScoreTableFor(mode);
  if (table == nullptr) return;

  ce::SelectObject(target, SelectUiFont(u"Tahoma", 15, 900));
  DrawTextBox(target, kTitles[mode - 1], 29, 136, 3, 0, 0, 0, 30, 20, 210, 40, 1, 1);
  // The names go through EntryName: a stored name may lack its terminator.
  const std::u16string first = EntryName(table->entries[0]);
  const std::u16string fifth = EntryName(table->entries[4]);
  DrawTextBox(target, first.c_str(), 255, 255, 204, 0, 0, 0, 63, 36, 180, 56, 1, 0);
  DrawTextBox(target, fifth.c_str(), 255, 255, 204, 0, 0, 0, 63, 50, 180, 70, 1, 0);
  DrawNumberBox(target, table->entries[0].score, 252, 191, 0, 0, 0, 0, 80, 36, 188, 56, 1, 2);
  DrawNumberBox(target, table->entries[4].score, 252, 191, 0, 0, 0, 0, 80, 50, 188, 70, 1, 2);
}
