#include "render/play_world.h"

using namespace playworld;

namespace {

struct ScreenSize {
  int width, height;
};

int ItemPicture(int code) {
  static constexpr int kSmall[8] = {289, 293, 290, 296, 297, 292, 291, 298};
  static constexpr int kLarge[8] = {313, 319, 314, 320, 321, 316, 315, 322};
  return Pic(kSmall[code], kLarge[code]);
}
int CellX(int cell) {
  return 15 + 42 * (cell % 5);
}
int CellY(int cell) {
  return 89 + 45 * (cell / 5);
}

class PlayScreenTest : public ::testing::TestWithParam<ScreenSize> {
 protected:
  void SetUp() override { window = StartPlayWorld(GetParam().width, GetParam().height); }
  void TearDown() override {
    FreeBitmapSlots();
    ReleasePlaySurfaces();
  }
  // A game whose opening spin has not begun to draw, with the timer stopped.
  void FrozenGame(std::int32_t mode) {
    BeginGame(window, mode);
    Freeze(window);
  }
  void Paint() { ce::host::PumpMessages(); }
  void PaintBoard() {
    InvalidateLogical(window, 15, 89, 225, 224);
    Paint();
  }
  ce::HWND window = nullptr;
};

TEST_P(PlayScreenTest, FirstPaintOfANewGameComposesTheWholeScreen) {
  for (std::int32_t mode : {Easy, Melvoria}) {
    SCOPED_TRACE(mode);
    BeginGame(window, mode);
    for (int cell = 0; cell < 15; ++cell)
      EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(cell), CellY(cell), 42, 45));
    for (int k = 0; k < 5; ++k) {
      EXPECT_TRUE(ShowsPicture(Pic(302, 326), 15 + 42 * k, 74, 42, 15));
      EXPECT_TRUE(ShowsPicture(Pic(299, 323), 15 + 42 * k, 225, 42, 15));
    }
    EXPECT_TRUE(ShowsPicture(Pic(307, 333), 164, 268, 52, 44));
    EXPECT_TRUE(ShowsPicture(Pic(162, 163), 207, 13, 17, 17, true));
    EXPECT_TRUE(ShowsPicture(Pic(304, 312), 189, 13, 17, 17, true));
    EXPECT_TRUE(ShowsPart(Pic(286, 309), 0, 15, 0, 15, 15, 229));  // left border below the top border
    EXPECT_EQ(ShowsPicture(Pic(409, 412), 80, 273, 68, 31), mode == Melvoria);
    EXPECT_EQ(engine.reelButtonsReady, 1);
    EXPECT_EQ(engine.spinButtonReady, 0);
    EXPECT_EQ(engine.betKeysReady, mode == Melvoria ? 1 : 0);
    // The opening spin has begun: the new game was started by the set-up.
    EXPECT_EQ(gameStatus.reelMotion[0], Down);
    EXPECT_EQ(gameStatus.life, 17);
    EXPECT_EQ(requests.playSetupPending, 0);
    // The summary names the mode's table.
    EXPECT_GT(CountColour(Rgb(252, 191, 0), 80, 36, 188, 70), 0);
  }
}

TEST_P(PlayScreenTest, LaterPaintsDrawOnlyWhatWasAskedAndTheBoardWindow) {
  FrozenGame(Easy);
  // Paint the device's screen over; a full repaint must not recompose it.
  ce::HDC dc = ce::GetDC(window);
  FillBox(dc, 1, 2, 3, 0, 0, 240, 320);
  ce::ReleaseDC(window, dc);
  PaintAll(window);
  EXPECT_EQ(At(5, 5), Rgb(1, 2, 3));
  EXPECT_EQ(At(100, 280), Rgb(1, 2, 3));
  EXPECT_EQ(At(14, 88), Rgb(1, 2, 3));
  EXPECT_EQ(At(225, 224), Rgb(1, 2, 3));
  EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(0), CellY(0), 42, 45));
  EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(14), CellY(14), 42, 45));
}

TEST_P(PlayScreenTest, WholeBoardShowsEachCellsItemWithoutItsOffset) {
  FrozenGame(Easy);
  for (int cell = 0; cell < 15; ++cell) BoardValue(cell) = (cell % 8) * 100 + (cell % 3) * 7;
  requests.boardDirty = 1;
  PaintBoard();
  for (int cell = 0; cell < 15; ++cell)
    EXPECT_TRUE(ShowsPicture(ItemPicture(cell % 8), CellX(cell), CellY(cell), 42, 45)) << cell;
  EXPECT_EQ(requests.boardDirty, 0);
}

// A moving piece: place, offset, direction, and which rows of the item show where.
struct Piece {
  std::int32_t place, offset;
  bool down;
  int pictureRow, screenX, screenY, rows;
};

TEST_P(PlayScreenTest, MovingPiecesAreClippedByTheBoard) {
  const Piece pieces[] = {
      {108, 10, false, 0, 99, 214, 10},  // below reel 2, moved up 10: its top 10 rows at the bottom
      {101, 44, true, 1, 15, 89, 44},    // above reel 0, moved down 44: its lower 44 rows at the top
      {10, 44, true, 0, 15, 223, 1},     // bottom-left cell moved down 44: only its top row
      {7, 20, false, 0, 99, 114, 45},    // a visible cell moved up 20
  };
  for (const Piece& p : pieces) {
    SCOPED_TRACE(p.place);
    FrozenGame(Easy);
    requests.slotItem.fill(kSlotEmpty);
    requests.slotItem[3] = Super;
    requests.slotPlace[3] = p.place;
    requests.slotOffset[3] = p.offset;
    (p.down ? requests.reelsMovedDown : requests.reelsMovedUp) = 1;
    PaintBoard();
    EXPECT_TRUE(ShowsPart(ItemPicture(Super), 0, p.pictureRow, p.screenX, p.screenY, 42, p.rows));
    // The row just above the piece is still the blank reel.
    const int outside = p.screenY - 1;
    if (outside >= 89) {
      EXPECT_TRUE(ShowsPart(ItemPicture(Blank), 0, (outside - 89) % 45, p.screenX, outside, 42, 1));
    }
    EXPECT_EQ(requests.reelsMovedDown + requests.reelsMovedUp, 0);
  }
}

TEST_P(PlayScreenTest, ReplacementSlidesTheNewItemInFromTheRight) {
  struct Case {
    std::int32_t offset;
    int oldFrom, oldWidth;  // columns of the old item shown from cell column 2
    int newAt, newWidth;    // cell column where the new item's column 2 shows, and how many
  };
  const Case cases[] = {{0, 2, 38, 0, 0}, {20, 22, 18, 22, 18}, {39, 0, 0, 2, 38}, {40, 0, 0, 2, 38}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    FrozenGame(Easy);
    const int cell = 6;
    gameStatus.pendingItem[cell] = Bell * 100;
    requests.slotItem[cell] = Cherries;
    requests.slotPlace[cell] = cell;
    requests.slotOffset[cell] = c.offset;
    requests.replaceDirty = 1;
    PaintBoard();
    if (c.oldWidth > 0) {
      EXPECT_TRUE(
          ShowsPart(ItemPicture(Cherries), c.oldFrom, 0, CellX(cell) + 2, CellY(cell), c.oldWidth, 45));
    }
    if (c.newWidth > 0) {
      EXPECT_TRUE(ShowsPart(ItemPicture(Bell), 2, 0, CellX(cell) + c.newAt, CellY(cell), c.newWidth, 45));
    }
    // The two outer columns on each side are left as they were.
    EXPECT_TRUE(ShowsPart(ItemPicture(Blank), 0, 0, CellX(cell), CellY(cell), 2, 45));
    EXPECT_TRUE(ShowsPart(ItemPicture(Blank), 40, 0, CellX(cell) + 40, CellY(cell), 2, 45));
  }
}

TEST_P(PlayScreenTest, MatchLinesAreDrawnWhereTheirGroupLies) {
  FrozenGame(Easy);
  requests.matchLine[25] = 1;
  requests.matchLinesDirty = 1;
  PaintBoard();
  EXPECT_TRUE(ShowsPicture(Pic(346, 352), 32, 89, 8, 135, true));
  EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(1), CellY(1), 42, 45));
  EXPECT_TRUE(ShowsPart(ItemPicture(Blank), 0, 0, CellX(0), CellY(0), 16, 45));

  requests.boardDirty = 1;
  requests.matchLine[1] = 1;
  requests.matchLinesDirty = 1;
  PaintBoard();
  // Lines are drawn by number: the vertical 25 lies over the top row's line 1.
  EXPECT_TRUE(ShowsPicture(Pic(346, 352), 32, 89, 8, 135, true));
  EXPECT_TRUE(ShowsPicture(Pic(351, 358), 15, 109, 17, 8, true));
  EXPECT_TRUE(ShowsPart(Pic(351, 358), 25, 0, 40, 109, 185, 8, true));
  EXPECT_EQ(requests.matchLinesDirty, 0);
  EXPECT_EQ(requests.matchLine[1], 1);  // the engine clears the groups, not the painter
}

TEST_P(PlayScreenTest, BannersStayUntilTheBoardCoversThem) {
  FrozenGame(Easy);
  engine.betUpState = 1;
  PaintBoard();
  EXPECT_EQ(engine.betUpState, 2);
  EXPECT_TRUE(ShowsPicture(Pic(359, 360), 59, 138, 122, 40, true));
  requests.boardDirty = 1;  // a board redraw while the banner is up keeps it on top
  PaintBoard();
  EXPECT_TRUE(ShowsPicture(Pic(359, 360), 59, 138, 122, 40, true));
  engine.betUpState = 0;
  requests.boardDirty = 1;
  PaintBoard();
  EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(6), CellY(6), 42, 45));

  requests.gameOverBanner = 1;
  gameStatus.score = 4321;
  requests.scoreBanner = 1;
  PaintBoard();
  EXPECT_EQ(requests.gameOverBanner, 2);
  EXPECT_EQ(requests.scoreBanner, 2);
  EXPECT_TRUE(ShowsPicture(Pic(401, 416), 32, 110, 176, 40, true));
  EXPECT_TRUE(ShowsPicture(Pic(402, 417), 32, 160, 176, 6, true));          // the box's frame above the text
  EXPECT_GT(CountColour(Rgb(255, 0, 0), 32 + 107, 170, 32 + 176, 190), 0);  // the score
  EXPECT_GT(CountColour(Rgb(102, 0, 0), 32 + 13, 170, 32 + 107, 190), 0);   // "You scored:"
}

TEST_P(PlayScreenTest, CursorMarksFollowTheSelectedReel) {
  FrozenGame(Easy);
  cursorMark = 3;
  PaintAll(window);
  const int mark = Pic(439, 440);
  EXPECT_TRUE(ShowsPicture(mark, 109, 74, 6, 12, true));
  EXPECT_TRUE(ShowsPicture(mark, 109, 227, 6, 12, true));
  cursorMark = 2;
  PaintAll(window);
  EXPECT_TRUE(ShowsPicture(Pic(302, 326), 99, 74, 42, 15));  // reel 2's mark wiped
  EXPECT_TRUE(ShowsPicture(mark, 67, 74, 6, 12, true));
  EXPECT_EQ(cursorMark, 2);
}

TEST_P(PlayScreenTest, StoredGameResumesOnItsFirstPaint) {
  gameStatus.gameMode = Hard;
  gameStatus.score = 1234;
  gameStatus.life = 22;
  gameStatus.betPercent = 3;
  gameStatus.spinSettled = 1;
  for (std::int32_t& p : gameStatus.pendingItem) p = kNothingPending;
  for (int cell = 0; cell < 15; ++cell) BoardValue(cell) = ((cell * 3) % 8) * 100;
  for (std::int32_t& s : gameStatus.reelSpeed) s = 5;
  engine.resumePending = 1;
  engine.gamePhase = Running;
  shell.ScreenState = Play;
  PaintAll(window);
  for (int cell = 0; cell < 15; ++cell)
    EXPECT_TRUE(ShowsPicture(ItemPicture((cell * 3) % 8), CellX(cell), CellY(cell), 42, 45)) << cell;
  EXPECT_EQ(gameStatus.score, 1234);
  EXPECT_EQ(gameStatus.life, 22);
  EXPECT_EQ(engine.resumePending, 0);
  // The timer runs again, and Spin All comes back usable.
  const int before = paints;
  ce::host::AdvanceTime(20);
  ce::host::PumpMessages();
  EXPECT_GT(paints, before);
  EXPECT_TRUE(ShowsPicture(Pic(305, 331), 164, 268, 52, 44));
  EXPECT_EQ(engine.spinButtonReady, 1);
}

TEST_P(PlayScreenTest, LandscapeStopsTheGameAndTurningBackResumesIt) {
  BeginGame(window, Easy);
  for (int i = 0; i < 20 || ((!AllReelsIdle() || gameStatus.matchActive != 0) && i < 1000); ++i) {
    ce::host::AdvanceTime(10);
    ce::host::PumpMessages();
  }
  ASSERT_TRUE(AllReelsIdle());
  ce::host::Rotate();
  PaintAll(window);
  EXPECT_EQ(engine.resumePending, 1);
  GameStatus before = gameStatus;
  const int paintsBefore = paints;
  ce::host::AdvanceTime(500);
  ce::host::PumpMessages();
  EXPECT_EQ(paints, paintsBefore);  // no tick, so nothing asks for paint
  EXPECT_EQ(gameStatus.score, before.score);

  ce::host::Rotate();
  PaintAll(window);
  EXPECT_EQ(engine.resumePending, 0);
  // The board as it stood, drawn again from the game's own cells.
  for (int cell = 0; cell < 15; ++cell) {
    const std::int32_t code = BoardValue(cell) / 100;
    EXPECT_TRUE(ShowsPicture(ItemPicture(code), CellX(cell), CellY(cell), 42, 45)) << cell;
  }
  EXPECT_EQ(gameStatus.score, before.score);
  ce::host::AdvanceTime(20);
  ce::host::PumpMessages();
  EXPECT_GT(paints, paintsBefore + 1);
}

TEST_P(PlayScreenTest, DamagedItemCodesDrawNothing) {
  FrozenGame(Easy);
  for (int cell = 0; cell < 15; ++cell) BoardValue(cell) = cell % 2 == 0 ? -300 : 123456;
  requests.boardDirty = 1;
  requests.slotItem[1] = 99;
  requests.slotPlace[1] = 3;
  requests.slotPlace[2] = 999;
  requests.slotItem[2] = Bell;
  requests.reelsMovedDown = 1;
  requests.slotItem[4] = -7;
  requests.slotPlace[4] = 4;
  requests.replaceDirty = 1;
  gameStatus.pendingItem[4] = 77777;
  PaintBoard();
  for (int cell = 0; cell < 15; ++cell)
    EXPECT_TRUE(ShowsPicture(ItemPicture(Blank), CellX(cell), CellY(cell), 42, 45));
}

INSTANTIATE_TEST_SUITE_P(BothScreens, PlayScreenTest,
                         ::testing::Values(ScreenSize{240, 320}, ScreenSize{480, 640}),
                         [](const auto& info) { return std::to_string(info.param.width); });

}  // namespace
