#include "screens/hiscore_screen.h"

#include <gtest/gtest.h>

#include <string>

#include "game/board.h"
#include "screens_world.h"

using namespace screensworld;

namespace {

constexpr ce::COLORREF kKey = ce::RGB(255, 204, 255);

int Pick(int small, int large) {
  return display.DisplayMode == 3 ? large : small;
}

class HiScoreScreenTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override {
    window = StartWorld(GetParam());
    Tap(120, 250);  // HI-SCORES
    ASSERT_EQ(shell.ScreenState, HiScores);
  }
  ce::HWND window = nullptr;
};

struct TableLook {
  std::int32_t table;
  int p[2], q[2], r[2], title[2];
  int titleX;
};

TEST_P(HiScoreScreenTest, EachTableShowsItsItemsTitleAndTab) {
  const TableLook looks[] = {
      {1, {293, 319}, {297, 321}, {292, 316}, {365, 376}, 78},
      {2, {297, 321}, {298, 322}, {296, 320}, {367, 378}, 78},
      {3, {292, 316}, {298, 322}, {291, 315}, {366, 377}, 46},
  };
  for (const TableLook& look : looks) {
    SCOPED_TRACE(testing::Message() << "table " << look.table);
    Tap(161 + 25 * (look.table - 1) + 12, 300);
    EXPECT_EQ(engine.shownTable, look.table);
    Shot("hiscores-" + std::to_string(look.table) + "-" + SizeName(GetParam()));
    const int big = display.DisplayMode == 3 ? 1 : 0;
    const int row[6] = {look.p[big], look.q[big], look.r[big], look.p[big], look.q[big], look.p[big]};
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(ShowsPicture(row[i], 42 * i, 0)) << "cell " << i;
    EXPECT_TRUE(ShowsPicture(look.title[big], look.titleX, 62, 0xFFFFFFFFu, 36)) << "above the rule";
    for (int t = 1; t <= 3; ++t) {
      const int picture = t == look.table ? Pick(371 + t, 381 + t) : Pick(368 + t, 378 + t);
      EXPECT_TRUE(ShowsPicture(picture, 161 + 25 * (t - 1), 286)) << "tab " << t;
    }
    EXPECT_TRUE(ShowsPicture(Pick(375, 385), 190, 45));
    EXPECT_TRUE(
        ShowsPicture(Pick(368, 386), 4, 286, display.DisplayMode == 3 ? ce::RGB(254, 203, 254) : kKey));
    EXPECT_EQ(At(100, 99), Rgb(103, 0, 0)) << "the rule under the title";
    // Five scores in the score colour, right-aligned before "Pt." in green.
    for (int i = 0; i < 5; ++i) {
      const int y = 110 + 32 * i;
      EXPECT_GT(CountColour(Rgb(235, 255, 0), 116, y, 196, y + 20), 0) << "row " << i;
      EXPECT_GT(CountColour(Rgb(29, 136, 3), 200, y, 220, y + 26), 0) << "row " << i;
    }
  }
}

TEST_P(HiScoreScreenTest, ScoreDigitsFollowTheTable) {
  const int before = CountColour(Rgb(235, 255, 0), 116, 110, 196, 130);
  hiScoreTables[0].entries[0].score = 1;  // one narrow digit instead of four
  shell.BackgroundReady = 0;
  InvalidateScreen(window, display.DisplayMode);
  ce::host::PumpMessages();
  const int after = CountColour(Rgb(235, 255, 0), 116, 110, 196, 130);
  EXPECT_GT(after, 0);
  EXPECT_LT(after * 2, before);
}

TEST_P(HiScoreScreenTest, TapsOutsideTheIconsLeaveForTheMenu) {
  gameStatus.gameMode = Hard;
  Tap(120, 150);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(gameStatus.gameMode, NoGame);
  EXPECT_EQ(BitmapSlotDC(5), nullptr) << "the hi-score canvas is released";
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, ce::RGB(204, 153, 255))) << "the menu is built again";
}

TEST_P(HiScoreScreenTest, HardKeysChangeTablesAndLeave) {
  gameStatus.joystickControl = 1;
  Key(ce::VK_LEFT);
  EXPECT_EQ(engine.shownTable, 1);
  Key(ce::VK_RIGHT);
  Key(ce::VK_RIGHT);
  Key(ce::VK_RIGHT);
  EXPECT_EQ(engine.shownTable, 3);
  EXPECT_TRUE(ShowsPicture(Pick(374, 384), 211, 286));
  Key(ce::VK_LEFT);
  EXPECT_EQ(engine.shownTable, 2);
  Key(ce::VK_DOWN);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  // The table stays chosen for the next visit.
  Tap(120, 250);
  EXPECT_EQ(engine.shownTable, 2);
  EXPECT_TRUE(ShowsPicture(Pick(373, 383), 186, 286));
}

TEST_P(HiScoreScreenTest, ResetAnsweredYesShowsTheDefaultsAndNoKeepsTheTables) {
  InsertHiScore(u"Quickhand", 9000, true, 1);
  ASSERT_EQ(hiScoreTables[0].entries[0].score, 9000);
  TapAnswering(200, 50, {ce::VK_ESCAPE});
  EXPECT_EQ(hiScoreTables[0].entries[0].score, 9000);
  EXPECT_EQ(shell.ScreenState, HiScores);

  TapAnswering(200, 50, {ce::VK_RETURN, ce::VK_RETURN});  // Yes, then OK of the notice
  EXPECT_EQ(ce::host::CurrentMessageBox(), nullptr);
  EXPECT_EQ(hiScoreTables[0].entries[0].score, 3245);
  EXPECT_EQ(shell.BackgroundReady, 1) << "built again from the defaults";
}

TEST_P(HiScoreScreenTest, ExportIconOpensThePopupAndTheScreenWaitsBehindIt) {
  Tap(20, 300);
  EXPECT_EQ(shell.PopupState, ExportCode);
  ASSERT_NE(shell.popupWindow, nullptr);
  ce::RECT r{};
  ce::GetWindowRect(shell.popupWindow, &r);
  EXPECT_EQ(r.top, DY(140));
  EXPECT_EQ(r.bottom - r.top, DY(180));
  // A tap on the hi-score screen above the popup does nothing but bring the popup back.
  Tap(120, 120);
  EXPECT_EQ(shell.ScreenState, HiScores);
  EXPECT_EQ(shell.PopupState, ExportCode);
  // Its OK button closes it; the screen is copied from its canvas.
  Tap(120, 140 + 157);
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, HiScores);
  EXPECT_TRUE(ShowsPicture(Pick(375, 385), 190, 45));
  EXPECT_TRUE(ShowsPicture(Pick(372, 382), 161, 286));
}

INSTANTIATE_TEST_SUITE_P(BothScreens, HiScoreScreenTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });

// The name entry after a qualifying game.
class NameEntryTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override {
    window = StartWorld(GetParam());
    gameStatus.gameMode = Hard;
    gameStatus.score = 2500;  // second place in the default Hard table
    gameStatus.spare56 = 7;
    engine.gamePhase = Ending;
    engine.shownTable = Hard;
    shell.ScreenState = NewHiScore;
    shell.BackgroundReady = 0;
    InvalidateScreen(window, display.DisplayMode);
    ce::host::PumpMessages();
    box = ce::GetDlgItem(window, NameBoxId);
    ASSERT_NE(box, nullptr);
  }
  std::u16string BoxText() {
    char16_t text[64] = {};
    ce::GetWindowTextW(box, text, 64);
    return text;
  }
  void ExpectLeftToHiScores() {
    EXPECT_EQ(shell.ScreenState, HiScores);
    EXPECT_EQ(gameStatus.gameMode, NoGame);
    EXPECT_EQ(gameStatus.score, 0);
    EXPECT_EQ(gameStatus.spare56, 0);
    EXPECT_EQ(engine.gamePhase, Idle);
    for (int id : {OkButtonId, CancelButtonId, NameBoxId})
      EXPECT_EQ(ce::GetDlgItem(window, id), nullptr) << id;
    EXPECT_TRUE(ce::host::Shell().sipButtonHidden);
    EXPECT_TRUE(ShowsPicture(Pick(367, 378), 78, 62, 0xFFFFFFFFu, 36)) << "the Hard table is shown";
  }
  ce::HWND window = nullptr;
  ce::HWND box = nullptr;
};

TEST_P(NameEntryTest, OffersTheLastNameAndShowsTheInputPanelButton) {
  Shot(std::string("name-entry-") + SizeName(GetParam()));
  EXPECT_EQ(BoxText(), u"Tamberu");
  EXPECT_FALSE(ce::host::Shell().sipButtonHidden);
  EXPECT_TRUE(ShowsPicture(Pick(400, 399), 18, 40));
  EXPECT_EQ(At(0, 215), 0u) << "black below the frame";
  EXPECT_GT(CountColour(Rgb(255, 0, 0), 74, 50, 230, 70), 0) << "Congratulations!";
  // A later paint makes no second set of controls.
  ce::HWND ok = ce::GetDlgItem(window, OkButtonId);
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(ce::GetDlgItem(window, OkButtonId), ok);
  EXPECT_EQ(ce::GetDlgItem(window, NameBoxId), box);
}

TEST_P(NameEntryTest, OkInsertsTheTypedNameWithTheScore) {
  ce::SetWindowTextW(box, u"");
  Tap(40, 150);  // focus the box
  ce::host::TypeText(u"Ada");
  ce::host::PumpMessages();
  Tap(70, 183);  // OK
  ExpectLeftToHiScores();
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[1]), u"Ada");
  EXPECT_EQ(hiScoreTables[1].entries[1].score, 2500);
  EXPECT_EQ(hiScoreTables[1].lastEntry, 1);
}

TEST_P(NameEntryTest, OkWithAnEmptyNameKeepsTheEntryOpen) {
  ce::SetWindowTextW(box, u"");
  Tap(70, 183);
  EXPECT_EQ(shell.ScreenState, NewHiScore);
  EXPECT_NE(ce::GetDlgItem(window, OkButtonId), nullptr);
  EXPECT_EQ(ce::GetDlgItem(window, NameBoxId), box);
  EXPECT_EQ(hiScoreTables[1].entries[1].score, 2234) << "nothing inserted";
}

TEST_P(NameEntryTest, ALongNameNeverRunsPastTheStoredField) {
  // Whatever the box holds, the table keeps at most 11 characters and its terminator.
  ce::SetWindowTextW(box, u"Bartholomew-Featherstonehaugh");
  HiScoreTable before = hiScoreTables[1];
  Tap(70, 183);
  const HiScoreEntry& entry = hiScoreTables[1].entries[1];
  EXPECT_EQ(EntryName(entry), u"Bartholomew");
  EXPECT_EQ(entry.name[kNameUnits - 1], u'\0');
  EXPECT_EQ(entry.score, 2500);
  EXPECT_EQ(hiScoreTables[1].entries[0].score, before.entries[0].score) << "the entry above is untouched";
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[2]), EntryName(before.entries[1]));
  EXPECT_EQ(nameBuffer[kNameBufferUnits - 1], u'\0');
}

TEST_P(NameEntryTest, TypingStopsAtTheStoredLength) {
  ce::SetWindowTextW(box, u"");
  Tap(40, 150);
  ce::host::TypeText(u"ABCDEFGHIJKLMNOP");
  ce::host::PumpMessages();
  EXPECT_EQ(BoxText(), u"ABCDEFGHIJK");
}

TEST_P(NameEntryTest, CancelAndTheCloseBoxLeaveTheTableAsItWas) {
  for (int way = 0; way < 2; ++way) {
    SCOPED_TRACE(way == 0 ? "Cancel" : "close box");
    SetUp();
    const HiScoreTable before = hiScoreTables[1];
    if (way == 0)
      Tap(170, 183);
    else
      Tap(227, 12);
    ExpectLeftToHiScores();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(hiScoreTables[1].entries[i].score, before.entries[i].score);
  }
}

TEST_P(NameEntryTest, OtherTapsAndKeysDoNothing) {
  gameStatus.joystickControl = 1;
  Tap(120, 260);
  Tap(217, 12);
  Key(ce::VK_RETURN);
  Key(ce::VK_LEFT);
  EXPECT_EQ(shell.ScreenState, NewHiScore);
  EXPECT_NE(ce::GetDlgItem(window, NameBoxId), nullptr);
}

TEST_P(NameEntryTest, LandscapeHidesTheEntryBehindTheNoticeAndPortraitBringsItBack) {
  ce::SetWindowTextW(box, u"Kit");
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  // Black below the notice's text, where the controls stood.
  EXPECT_EQ(CountColour(0, 0, 142, 240, 170), DX(240) * (DY(170) - DY(142)));
  EXPECT_EQ(shell.ScreenState, NewHiScore);
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(ce::GetDlgItem(window, NameBoxId), box);
  EXPECT_EQ(BoxText(), u"Kit");
  EXPECT_NE(CountColour(Rgb(255, 255, 255), 30, 140, 210, 162), 0) << "the box is shown again";
  Tap(70, 183);
  EXPECT_EQ(EntryName(hiScoreTables[1].entries[1]), u"Kit");
}

INSTANTIATE_TEST_SUITE_P(BothScreens, NameEntryTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });

}  // namespace
