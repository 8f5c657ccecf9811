#include "render/play_world.h"

using namespace playworld;

namespace {

class MetersTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const int width = GetParam();
    window = StartPlayWorld(width, width * 4 / 3);
    BeginGame(window, Melvoria);
    Freeze(window);
  }
  void TearDown() override {
    FreeBitmapSlots();
    ReleasePlaySurfaces();
  }
  void Paint() { PaintAll(window); }
  ce::HWND window = nullptr;
};

TEST_P(MetersTest, LifeBarLengthAndColour) {
  struct Case {
    std::int32_t life;
    std::uint32_t colour;
    int length;  // logical pixels
  };
  const std::uint32_t red = Rgb(255, 0, 51), amber = Rgb(252, 191, 0), green = Rgb(51, 204, 51);
  const Case cases[] = {{0, red, 0},     {1, red, 1},     {2, red, 3},     {9, red, 13},
                        {10, amber, 15}, {17, amber, 25}, {19, amber, 28}, {20, green, 30},
                        {30, green, 45}, {31, green, 0},  {-4, green, 0},  {2147483647, green, 0}};
  const std::uint32_t back = Rgb(74, 80, 89);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.life);
    gameStatus.life = c.life;
    requests.metersDirty = 1;
    Paint();
    EXPECT_EQ(CountColour(c.colour, 151, 258, 196, 265), ScaleX(c.length) * ScaleY(7));
    EXPECT_EQ(CountColour(back, 151, 258, 196, 265), (ScaleX(45) - ScaleX(c.length)) * ScaleY(7));
    EXPECT_EQ(requests.metersDirty, 0);
  }
}

// The leftmost and rightmost device columns with meter-yellow in a logical box.
std::pair<int, int> InkColumns(int left, int top, int right, int bottom) {
  int first = 1 << 30, last = -1;
  for (int y = ScaleY(top); y < ScaleY(bottom); ++y)
    for (int x = ScaleX(left); x < ScaleX(right); ++x)
      if (ce::host::ScreenPixel(x, y) == Rgb(252, 191, 0)) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  return {first, last};
}

TEST_P(MetersTest, NumbersAreRightAlignedInTheirBoxes) {
  gameStatus.betPercent = 99;
  gameStatus.score = 999999;
  gameStatus.pendingPoints = 0;
  requests.metersDirty = 1;
  Paint();
  auto [betFirst, betLast] = InkColumns(106, 254, 124, 268);
  EXPECT_GT(betFirst, ScaleX(106));  // "99" fits, not cut at the left
  EXPECT_GE(betLast, ScaleX(124) - ScaleX(3));
  auto [scoreFirst, scoreLast] = InkColumns(34, 254, 88, 268);
  EXPECT_GT(scoreFirst, ScaleX(34));
  EXPECT_GE(scoreLast, ScaleX(88) - ScaleX(3));

  // A shorter number leaves the box's left part black.
  gameStatus.score = 7;
  requests.metersDirty = 1;
  Paint();
  auto [oneFirst, oneLast] = InkColumns(34, 254, 88, 268);
  EXPECT_GT(oneFirst, ScaleX(34) + ScaleX(40));
  EXPECT_EQ(At(36, 260), Rgb(0, 0, 0));
}

TEST_P(MetersTest, ScoreShownIsTheOneAfterTheTransferStep) {
  gameStatus.score = 100;
  gameStatus.pendingPoints = 50;
  // The first step takes the new points in, the next one moves a chunk over.
  for (int i = 0; i < 2; ++i) {
    requests.metersDirty = 1;
    Paint();
  }
  EXPECT_GT(gameStatus.score, 100);
  // Repaint the score as the number it now holds, and compare.
  const std::int32_t shown = gameStatus.score;
  std::vector<std::uint32_t> first;
  for (int y = ScaleY(254); y < ScaleY(268); ++y)
    for (int x = ScaleX(34); x < ScaleX(88); ++x) first.push_back(ce::host::ScreenPixel(x, y));
  gameStatus.pendingPoints = 0;
  gameStatus.score = shown;
  requests.metersDirty = 1;
  Paint();
  std::vector<std::uint32_t> second;
  for (int y = ScaleY(254); y < ScaleY(268); ++y)
    for (int x = ScaleX(34); x < ScaleX(88); ++x) second.push_back(ce::host::ScreenPixel(x, y));
  EXPECT_EQ(first, second);
}

TEST_P(MetersTest, ArrowButtonPressAndRelease) {
  requests.buttonToRedraw = 7;
  engine.buttonPressed = 1;
  Paint();
  EXPECT_TRUE(ShowsPicture(Pic(300, 325), 15, 225, 42, 15));
  EXPECT_EQ(engine.buttonPressed, 1);
  EXPECT_EQ(requests.buttonToRedraw, 0);

  requests.buttonToRedraw = 7;
  engine.buttonPressed = 0;
  Paint();
  EXPECT_TRUE(ShowsPicture(Pic(299, 323), 15, 225, 42, 15));
  EXPECT_EQ(engine.buttonPressed, 1);

  requests.buttonToRedraw = 6;  // the up arrow of reel 4
  Paint();
  EXPECT_TRUE(ShowsPicture(Pic(303, 328), 183, 74, 42, 15));
}

TEST_P(MetersTest, SpinAllLooksAndReadiness) {
  struct Case {
    std::int32_t look;
    int small, large;
    int readyAfter;  // -1: unchanged
  };
  const Case cases[] = {
      {12, 305, 331, 1}, {13, 306, 332, -1}, {14, 307, 333, 0}, {12, 305, 331, 1}, {13, 306, 332, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.look);
    const std::uint8_t before = engine.spinButtonReady;
    requests.spinButtonLook = c.look;
    Paint();
    EXPECT_TRUE(ShowsPicture(Pic(c.small, c.large), 164, 268, 52, 44));
    EXPECT_EQ(engine.spinButtonReady, c.readyAfter < 0 ? before : c.readyAfter);
    EXPECT_EQ(requests.spinButtonLook, 0);
  }
  requests.spinButtonLook = 15;
  Paint();
  EXPECT_EQ(requests.spinButtonLook, 15);  // not a look: left as it is
}

TEST_P(MetersTest, PanelRequestsDrawTheirControlsAndSetTheFlags) {
  struct Case {
    std::int32_t request;
    int arrows;     // 0 disabled, 1 enabled, -1 not drawn
    int makeScore;  // picture small number expected, 0 not checked
    int spin;       // likewise
    int betMinus, betPlus;
    int reelsReady, spinReady, makeReady;  // -1: not checked
  };
  const Case cases[] = {
      {24, 0, 405, 0, 0, 0, 0, -1, 0},      {20, 1, 0, 0, 0, 0, 1, -1, -1},
      {22, -1, 403, 0, 0, 0, -1, -1, 1},    {23, -1, 405, 0, 0, 0, -1, -1, 0},
      {25, 0, 404, 307, 0, 0, 0, 0, 0},     {31, -1, 0, 0, 409, 411, -1, -1, -1},
      {32, -1, 0, 0, 410, 409, -1, -1, -1}, {30, -1, 0, 0, 409, 409, -1, -1, -1},
  };
  auto large = [](int small) {
    switch (small) {
      case 403:
        return 406;
      case 404:
        return 407;
      case 405:
        return 408;
      case 307:
        return 333;
      case 409:
        return 412;
      case 410:
        return 413;
      case 411:
        return 414;
      default:
        return 0;
    }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    requests.panelRequest = c.request;
    Paint();
    EXPECT_EQ(requests.panelRequest, 0);
    if (c.arrows >= 0)
      for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(ShowsPicture(c.arrows ? Pic(302, 326) : Pic(330, 327), 15 + 42 * k, 74, 42, 15));
        EXPECT_TRUE(ShowsPicture(c.arrows ? Pic(299, 323) : Pic(329, 324), 15 + 42 * k, 225, 42, 15));
      }
    if (c.makeScore) {
      EXPECT_TRUE(ShowsPicture(Pic(c.makeScore, large(c.makeScore)), 23, 270, 39, 36));
    }
    if (c.spin) {
      EXPECT_TRUE(ShowsPicture(Pic(c.spin, large(c.spin)), 164, 268, 52, 44));
    }
    // The keys' picture holds both keys; the pressed ones are one key each.
    if (c.betMinus) {
      EXPECT_TRUE(ShowsPicture(Pic(c.betMinus, large(c.betMinus)), 80, 273, 34, 31));
    }
    if (c.betPlus == 409) {
      EXPECT_TRUE(ShowsPart(Pic(409, 412), 34, 0, 114, 273, 34, 31));
    }
    if (c.betPlus == 411) {
      EXPECT_TRUE(ShowsPicture(Pic(411, 414), 114, 273, 34, 31));
    }
    if (c.reelsReady >= 0) {
      EXPECT_EQ(engine.reelButtonsReady, c.reelsReady);
    }
    if (c.spinReady >= 0) {
      EXPECT_EQ(engine.spinButtonReady, c.spinReady);
    }
    if (c.makeReady >= 0) {
      EXPECT_EQ(engine.makeScoreReady, c.makeReady);
    }
    if (c.request >= 30) {
      EXPECT_EQ(engine.betKeysReady, 1);
    }
  }
}

TEST_P(MetersTest, LastPanelRequestBeforeAPaintWins) {
  requests.panelRequest = 22;
  Paint();
  requests.panelRequest = 24;
  requests.panelRequest = 20;
  Paint();
  EXPECT_TRUE(ShowsPicture(Pic(403, 406), 23, 270, 39, 36));  // MAKE SCORE as it was
  EXPECT_TRUE(ShowsPicture(Pic(302, 326), 15, 74, 42, 15));
  EXPECT_EQ(engine.makeScoreReady, 1);
}

TEST_P(MetersTest, BetKeyPressedWhileABannerHoldsSlotOne) {
  // The BET UP banner holds bitmap slot 1; the other key must still show released.
  engine.betUpState = 1;
  Paint();
  requests.panelRequest = 31;
  Paint();
  EXPECT_TRUE(ShowsPart(Pic(409, 412), 0, 0, 80, 273, 34, 31));
  EXPECT_TRUE(ShowsPicture(Pic(411, 414), 114, 273, 34, 31));
}

TEST_P(MetersTest, KeyCursorKeepsTheArrowsEnabledAndSwallowsPanelRequests) {
  cursorMark = 1;
  requests.panelRequest = 25;
  Paint();
  EXPECT_EQ(requests.panelRequest, 0);
  EXPECT_EQ(engine.reelButtonsReady, 1);
  EXPECT_TRUE(ShowsPicture(Pic(302, 326), 57, 74, 42, 15));
  EXPECT_TRUE(ShowsPicture(Pic(307, 333), 164, 268, 52, 44));  // Spin All untouched
}

INSTANTIATE_TEST_SUITE_P(BothScreens, MetersTest, ::testing::Values(240, 480),
                         [](const auto& info) { return std::to_string(info.param); });

}  // namespace
