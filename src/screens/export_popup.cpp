// The export popup: the best score of the shown table as a code for the maker's
// web site, or a hint while that score is still the default one.
#include "screens/export_popup.h"

#include <string>

#include "app/screens.h"
#include "app/shell_state.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/scale.h"
#include "screens/export_code.h"
#include "screens/screen_common.h"
#include "store/hiscores.h"

namespace {

struct ExportTable {
  std::int32_t threshold;
  const char16_t* prefix;
  const char16_t* smallVariant;
  const char16_t* hint;
};
constexpr ExportTable kExportTables[3] = {
    {3245, u"001", u"10", u"Click this icon again when you beat the first Hi-Score of EASY MODE!"},
    {2654, u"002", u"09", u"Click this icon again when you beat the first Hi-Score of HARD MODE!"},
    {2435, u"003", u"09", u"Click this icon again when you beat the first Hi-Score of MELVORIA MODE!"},
};

constexpr const char16_t* kWebAddress = u"www.dunmorrow.example";

}  // namespace

std::u16string ExportCodeFor(std::int32_t table) {
  const HiScoreTable* scores = HiScoreTableFor(table);
  if (scores == nullptr) return {};
  const ExportTable& info = kExportTables[table - 1];
  const std::int32_t best = scores->entries[0].score;
  if (best <= info.threshold) return {};
  const std::u16string variant = display.DisplayMode == 3 ? u"10" : info.smallVariant;
  return BuildExportCode(best, info.prefix, variant);
}

void PaintExportCode(ce::HWND popup, ce::HDC target) {
  if (LandscapeMode()) {
    ClosePopupForLandscape(popup);
    return;
  }
  DrawPopupFrame(target, u"Export your first HiScore", 255, 255, 255);
  if (shell.popupControls == 0) {
    CreatePopupOkButton(popup, 80, 146, 80, 22);
    shell.popupControls = 1;
  }
  ce::SelectObject(target, SelectUiFont(u"Tahoma", 14, 700));
  if (HiScoreTableFor(engine.shownTable) == nullptr) return;
  const ExportTable& info = kExportTables[engine.shownTable - 1];
  const std::u16string code = ExportCodeFor(engine.shownTable);
  if (!code.empty()) {
    DrawTextBox(target, u"WELL DONE!", 0, 0, 0, 0, 0, 0, 12, 38, 228, 58, 1, 0);
    DrawTextBox(target, u"To export your Score,\ninput this code at our website:", 0, 0, 0, 0, 0, 0, 12, 58,
                228, 90, 1, 0);
    DrawTextBox(target, kWebAddress, 0, 0, 255, 0, 0, 0, 12, 92, 228, 114, 1, 0);
    ce::SelectObject(target, SelectUiFont(u"Tahoma", 18, 900));
    DrawTextBox(target, code.c_str(), 255, 0, 0, 0, 0, 0, 12, 114, 228, 134, 1, 0);
  } else {
    DrawTextBox(target, u"Here you will be able to export your best Hi-Score by a special CODE.", 0, 0, 0, 0,
                0, 0, 12, 38, 228, 82, 1, 0);
    DrawTextBox(target, info.hint, 255, 0, 0, 0, 0, 0, 12, 88, 228, 140, 1, 0);
  }
}
