#include <gtest/gtest.h>

#include "screens/export_popup.h"
#include "screens_world.h"

using namespace screensworld;

namespace {

int Pick(int small, int large) {
  return display.DisplayMode == 3 ? large : small;
}
constexpr ce::COLORREF kKey = ce::RGB(255, 204, 255);
constexpr std::uint32_t kReplay = Rgb(0, 0, 150);

class PopupTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override { window = StartWorld(GetParam()); }
  ce::HWND window = nullptr;
};

// ---- About --------------------------------------------------------------------

TEST_P(PopupTest, AboutShowsTheLogoAndItsOkButtonRebuildsTheMenu) {
  Tap(100, 50);
  ASSERT_EQ(shell.PopupState, About);
  Shot(std::string("about-") + SizeName(GetParam()));
  // Popup at (0, 38): the logo at (66, 80) of it, device (132, 160) of the popup on the large screen.
  // ("by" just above it may reach into its top rows)
  EXPECT_TRUE(ShowsPicture(Pick(165, 164), 66, 38 + 80, 0xFFFFFFFFu, 21, 8));
  EXPECT_GT(CountColour(0, 0, 38 + 42, 240, 38 + 62), 0) << "the name and version";
  ce::HWND ok = ce::GetDlgItem(shell.popupWindow, OkButtonId);
  ASSERT_NE(ok, nullptr);
  ce::RECT r{};
  ce::GetWindowRect(ok, &r);
  EXPECT_EQ(r.left, DX(80));
  EXPECT_EQ(r.top, DY(38 + 206));
  // A second paint makes no second button.
  ce::InvalidateRect(shell.popupWindow, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(ce::GetDlgItem(shell.popupWindow, OkButtonId), ok);
  Tap(120, 38 + 217);
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, ce::RGB(204, 153, 255)));
}

TEST_P(PopupTest, AboutTurnedToLandscapeClosesItself) {
  Tap(100, 50);
  ce::HWND popup = shell.popupWindow;
  ce::host::Rotate();
  ce::InvalidateRect(popup, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.popupControls, 0);
  EXPECT_FALSE(ce::IsWindow(popup));
}

// ---- Export code --------------------------------------------------------------

struct ExportCase {
  std::int32_t table;
  std::int32_t best;
  std::u16string small, large;  // empty: the hint instead of a code
};

TEST(ExportCodeFor, ByTableScoreAndScreen) {
  const ExportCase cases[] = {
      {1, 3245, u"", u""},
      {1, 3246, u"230C010!010000AE!1", u"230C010!010000AE!1"},
      {1, 5000, u"0503010!01001088!1", u"0503010!01001088!1"},
      {2, 2654, u"", u""},
      {3, 2435, u"", u""},
  };
  for (const ExportCase& c : cases) {
    for (Size size : {kSmall, kLarge}) {
      SCOPED_TRACE(testing::Message() << "table " << c.table << " best " << c.best << " " << SizeName(size));
      StartWorld(size);
      hiScoreTables[c.table - 1].entries[0].score = c.best;
      EXPECT_EQ(ExportCodeFor(c.table), size.width == 240 ? c.small : c.large);
    }
  }
  // Hard and Melvoria: their own prefix, and a variant of their own on the small screen.
  for (std::int32_t table : {2, 3}) {
    StartWorld(kSmall);
    hiScoreTables[table - 1].entries[0].score = 3246;
    const std::u16string small = ExportCodeFor(table);
    StartWorld(kLarge);
    hiScoreTables[table - 1].entries[0].score = 3246;
    const std::u16string large = ExportCodeFor(table);
    EXPECT_EQ(small.size(), 18u);
    EXPECT_NE(small, large);
    hiScoreTables[0].entries[0].score = 3246;
    EXPECT_NE(large, ExportCodeFor(1)) << "not the Easy table's code";
  }
  EXPECT_EQ(ExportCodeFor(0), u"");
  EXPECT_EQ(ExportCodeFor(4), u"");
}

TEST_P(PopupTest, ExportShowsTheHintUntilTheBestDefaultIsBeatenThenTheCode) {
  Tap(120, 250);  // HI-SCORES
  Tap(20, 300);
  ASSERT_EQ(shell.PopupState, ExportCode);
  Shot(std::string("export-hint-") + SizeName(GetParam()));
  // The hint in red over (12, 88, 228, 140) of the popup at (0, 140); no code line.
  EXPECT_GT(CountColour(Rgb(255, 0, 0), 12, 140 + 88, 228, 140 + 140), 0);
  EXPECT_EQ(CountColour(Rgb(0, 0, 255), 12, 140 + 92, 228, 140 + 114), 0);
  Tap(120, 140 + 157);  // OK
  ASSERT_EQ(shell.PopupState, NoPopup);

  hiScoreTables[0].entries[0].score = 5000;
  Tap(20, 300);
  Shot(std::string("export-code-") + SizeName(GetParam()));
  EXPECT_GT(CountColour(Rgb(0, 0, 255), 12, 140 + 92, 228, 140 + 114), 0) << "the web address";
  EXPECT_GT(CountColour(Rgb(255, 0, 0), 12, 140 + 114, 228, 140 + 134), 0) << "the code";
  EXPECT_EQ(CountColour(Rgb(255, 0, 0), 12, 140 + 136, 228, 140 + 140), 0) << "no hint below it";
  Tap(227, 140 + 12);  // close box
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, HiScores);
}

// ---- Help -----------------------------------------------------------------------

class HelpTest : public PopupTest {
 protected:
  void Choose(std::int32_t mode) {
    gameStatus.helpEnabled = 1;
    Tap(120, 154 + 28 * (mode - 1) + 10);
    ASSERT_EQ(shell.PopupState, Help);
    ASSERT_EQ(shell.pendingMode, mode);
  }
  // Popup coordinates to the screen's: the popup stands at (0, 38).
  static int Y(int y) { return 38 + y; }
  bool ReplayShown(int left, int top, int right, int bottom) {
    return CountColour(kReplay, left, Y(top), right, Y(bottom)) > 0;
  }
  bool CherriesShown() { return ShowsPicture(Pick(293, 319), 36, Y(140), 0xFFFFFFFFu, 15); }
  bool MeterModelShown() { return At(25, Y(172)) == 0u; }
};

TEST_P(HelpTest, EasyPlaysAStepEveryTenSecondsAndEndsOnReplay) {
  Choose(1);
  Shot(std::string("help-easy-1-") + SizeName(GetParam()));
  EXPECT_TRUE(CherriesShown());
  EXPECT_TRUE(ShowsPicture(Pick(256, 266), 10, Y(212), kKey)) << "help is on";
  EXPECT_NE(ce::GetDlgItem(shell.popupWindow, OkButtonId), nullptr);
  EXPECT_EQ(shell.helpPage, 1);
  ce::host::AdvanceTime(10000);
  EXPECT_FALSE(CherriesShown()) << "E2";
  EXPECT_FALSE(MeterModelShown());
  EXPECT_EQ(shell.helpPage, 2);
  ce::host::AdvanceTime(10000);
  EXPECT_TRUE(MeterModelShown()) << "E3";
  EXPECT_FALSE(ReplayShown(150, 58, 230, 80));
  ce::host::AdvanceTime(10000);
  EXPECT_TRUE(MeterModelShown());
  EXPECT_TRUE(ReplayShown(150, 58, 230, 80));
  Shot(std::string("help-easy-4-") + SizeName(GetParam()));
  ce::host::AdvanceTime(30000);
  EXPECT_TRUE(ReplayShown(150, 58, 230, 80)) << "the last step repeats";
  EXPECT_EQ(shell.helpPage, 4);
}

TEST_P(HelpTest, ATapShowsTheNextStepAtOnceAndReplaysFromTheLast) {
  Choose(1);
  Tap(120, Y(100));
  EXPECT_EQ(shell.helpPage, 2);
  EXPECT_FALSE(CherriesShown());
  Tap(120, Y(100));
  Tap(120, Y(100));
  EXPECT_TRUE(ReplayShown(150, 58, 230, 80));
  Tap(120, Y(100));
  EXPECT_TRUE(CherriesShown()) << "E1 again";
  EXPECT_FALSE(ReplayShown(150, 58, 230, 80));
  EXPECT_EQ(shell.helpPage, 1);
}

TEST_P(HelpTest, HardAndMelvoriaAlternateBetweenTheirPageAndReplay) {
  struct Case {
    std::int32_t mode;
    int replay[4];
    int picture[2], x, y;
  };
  const Case cases[] = {{2, {10, 110, 230, 130}, {292, 316}, 26, 140},
                        {3, {110, 130, 230, 150}, {409, 412}, 86, 156}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SetUp();
    Choose(c.mode);
    Shot("help-" + std::to_string(c.mode) + "-" + SizeName(GetParam()));
    EXPECT_TRUE(ShowsPicture(Pick(c.picture[0], c.picture[1]), c.x, Y(c.y), 0xFFFFFFFFu, 10));
    EXPECT_FALSE(ReplayShown(c.replay[0], c.replay[1], c.replay[2], c.replay[3]));
    Tap(120, Y(60));
    EXPECT_TRUE(ReplayShown(c.replay[0], c.replay[1], c.replay[2], c.replay[3]));
    if (c.mode == 3) {
      EXPECT_TRUE(ShowsPicture(Pick(411, 414), 120, Y(156), 0xFFFFFFFFu, 10)) << "BET+ lit";
    }
    ce::host::AdvanceTime(10000);
    EXPECT_TRUE(ReplayShown(c.replay[0], c.replay[1], c.replay[2], c.replay[3])) << "stays on the last step";
    Tap(120, Y(60));
    EXPECT_FALSE(ReplayShown(c.replay[0], c.replay[1], c.replay[2], c.replay[3]));
    EXPECT_EQ(shell.helpPage, 1);
  }
}

TEST_P(HelpTest, TheCheckBoxSwitchesHelpAndIsRedrawn) {
  Choose(2);
  Tap(20, Y(220));
  EXPECT_EQ(gameStatus.helpEnabled, 0);
  EXPECT_TRUE(ShowsPicture(Pick(255, 265), 10, Y(212), kKey));
  Tap(20, Y(220));
  EXPECT_EQ(gameStatus.helpEnabled, 1);
  EXPECT_TRUE(ShowsPicture(Pick(256, 266), 10, Y(212), kKey));
}

TEST_P(HelpTest, OkStartsTheGameOfTheChosenModeAndTheTimerStops) {
  Choose(2);
  ce::HWND popup = shell.popupWindow;
  Tap(200, Y(218));
  EXPECT_FALSE(ce::IsWindow(popup));
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, Play);
  EXPECT_EQ(gameStatus.gameMode, Hard);
  EXPECT_EQ(shell.helpShownThisSession, 1);
}

TEST_P(HelpTest, TheCloseBoxReturnsToTheMenuAndTheNextChoiceShowsHelpAgain) {
  Choose(3);
  Tap(227, Y(12));
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  EXPECT_EQ(gameStatus.gameMode, NoGame);
  EXPECT_TRUE(ShowsPicture(Pick(420, 423), 63, 154, ce::RGB(204, 153, 255)));
  Choose(1);
  EXPECT_EQ(shell.helpPage, 1);
  EXPECT_TRUE(CherriesShown());
}

TEST_P(HelpTest, LandscapeClosesItWithoutAGameAndHelpComesBack) {
  Choose(1);
  ce::HWND popup = shell.popupWindow;
  ce::host::Rotate();
  ce::InvalidateRect(popup, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  EXPECT_FALSE(ce::IsWindow(popup));
  EXPECT_EQ(shell.PopupState, NoPopup);
  EXPECT_EQ(shell.ScreenState, MainMenu);
  ce::host::AdvanceTime(20000);  // no timer of the popup is left behind
  ce::host::Rotate();
  ce::InvalidateRect(window, nullptr, ce::FALSE);
  ce::host::PumpMessages();
  Choose(2);
}

INSTANTIATE_TEST_SUITE_P(BothScreens, PopupTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });
INSTANTIATE_TEST_SUITE_P(BothScreens, HelpTest, ::testing::Values(kSmall, kLarge),
                         [](const auto& info) { return std::string(SizeName(info.param)); });

}  // namespace
