#include "game/world.h"

namespace {

using namespace testworld;

class CommandsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    OpenSounds();
    SettledGame(Easy);
    ce::ValidateRect(MainWindow(), nullptr);
  }
  // Press or release as the play input and the tick give them.
  void Press(std::int32_t command) {
    engine.buttonPressed = 1;
    ExecuteCommand(MainWindow(), command);
  }
  void Release(std::int32_t command) {
    engine.buttonPressed = 0;
    ExecuteCommand(MainWindow(), command);
  }
  bool Invalidated(ce::RECT device) { return Covers(ce::host::InvalidRegion(MainWindow()), device); }
  bool NothingInvalidated() { return ce::host::InvalidRegion(MainWindow()).empty(); }
};

struct ArrowCase {
  const char* name;
  std::int32_t command;
  void (*setup)();
  std::int32_t motionAfter;  // of the command's reel
};

const ArrowCase kArrowCases[] = {
    {"up arrow of reel 0 moves it up", ReelUp + 0, [] {}, Up},
    {"down arrow of reel 4 moves it down", ReelDown + 4, [] {}, Down},
    {"reel 3 waits for the settled board", ReelUp + 3, [] { gameStatus.spinSettled = 0; }, ReelIdle},
    {"reel 4 waits for the settled board", ReelDown + 4, [] { gameStatus.spinSettled = 0; }, ReelIdle},
    {"reel 2 needs no settled board", ReelDown + 2, [] { gameStatus.spinSettled = 0; }, Down},
    {"a moving reel keeps its move", ReelDown + 1, [] { gameStatus.reelMotion[1] = Up; }, Up},
    {"no move while cells are cleared", ReelUp + 2, [] { gameStatus.matchActive = 1; }, ReelIdle},
    {"no move while the reel spins", ReelUp + 0, [] { gameStatus.spinStep[0] = 3; }, ReelIdle},
};

TEST_F(CommandsTest, AnArrowPressSoundsAndShowsAndMovesWhenItMay) {
  for (const ArrowCase& c : kArrowCases) {
    SCOPED_TRACE(c.name);
    SettledGame(Easy);
    c.setup();
    TakeSounds();
    ce::ValidateRect(MainWindow(), nullptr);
    Press(c.command);
    const int k = (c.command - 1) % 5;
    EXPECT_EQ(gameStatus.reelMotion[k], c.motionAfter);
    EXPECT_EQ(TakeSounds(), std::vector<int>{12});
    EXPECT_EQ(requests.buttonToRedraw, c.command + 1);
    EXPECT_EQ(engine.holdCountdown, 10);
    EXPECT_EQ(engine.lastCommand, c.command);
    const int x = 2 * (15 + 42 * k);
    EXPECT_TRUE(Invalidated(c.command <= 5 ? ce::RECT{x, 148, x + 84, 178} : ce::RECT{x, 450, x + 84, 480}));
    EXPECT_EQ(gameStatus.lifeLoss, 0) << "the input charges a move, not the command";
  }
}

TEST_F(CommandsTest, ArrowsDoNothingUntilTheyAreDrawnUsable) {
  engine.reelButtonsReady = 0;
  TakeSounds();
  Press(ReelUp + 1);
  EXPECT_EQ(gameStatus.reelMotion[1], ReelIdle);
  EXPECT_TRUE(TakeSounds().empty());
  EXPECT_EQ(requests.buttonToRedraw, 0);
  EXPECT_EQ(engine.holdCountdown, 0);
  EXPECT_EQ(engine.lastCommand, ReelUp + 1);
  EXPECT_TRUE(NothingInvalidated());
}

TEST_F(CommandsTest, AnArrowReleaseOnlyRedrawsTheButton) {
  TakeSounds();
  Release(ReelDown + 3);
  EXPECT_EQ(requests.buttonToRedraw, 10);
  EXPECT_EQ(gameStatus.reelMotion[3], ReelIdle);
  EXPECT_TRUE(TakeSounds().empty());
  EXPECT_EQ(engine.holdCountdown, 0);
  EXPECT_TRUE(Invalidated(ce::RECT{282, 450, 366, 480}));
}

TEST_F(CommandsTest, SpinAllStartsTheSpinAndChargesItsCost) {
  gameStatus.reelSpeed[0] = 1;
  gameStatus.lifeLoss = 2;
  engine.spinCost = 4;
  TakeSounds();
  Press(SpinAll);
  EXPECT_EQ(TakeSounds(), std::vector<int>{5});
  EXPECT_EQ(requests.spinButtonLook, 13);
  EXPECT_EQ(gameStatus.lifeLoss, 6);
  EXPECT_EQ(engine.holdCountdown, 10);
  EXPECT_EQ(gameStatus.reelMotion[0], Down);
  EXPECT_EQ(gameStatus.spinStep[0], 1);
  EXPECT_EQ(engine.savedSpeed[0], 1);
  EXPECT_EQ(gameStatus.reelSpeed[0], 2);
  EXPECT_EQ(gameStatus.spinSettled, 0);
  EXPECT_TRUE(Invalidated(ce::RECT{328, 536, 432, 624}));
}

TEST_F(CommandsTest, SpinAllIsRefusedWhileTheBoardIsBusy) {
  struct Busy {
    const char* name;
    void (*make)();
  };
  const Busy kBusy[] = {
      {"a reel moving", [] { gameStatus.reelMotion[4] = Down; }},
      {"reels locked", [] { gameStatus.reelMotion[2] = Locked; }},
      {"cells cleared", [] { gameStatus.matchActive = 1; }},
      {"not drawn usable", [] { engine.spinButtonReady = 0; }},
  };
  for (const Busy& b : kBusy) {
    SCOPED_TRACE(b.name);
    SettledGame(Easy);
    b.make();
    TakeSounds();
    ce::ValidateRect(MainWindow(), nullptr);
    Press(SpinAll);
    EXPECT_TRUE(TakeSounds().empty());
    EXPECT_EQ(gameStatus.lifeLoss, 0);
    EXPECT_EQ(gameStatus.spinStep[0], 0);
    EXPECT_EQ(requests.spinButtonLook, 0);
    EXPECT_EQ(engine.holdCountdown, 0);
    EXPECT_EQ(engine.lastCommand, SpinAll);
    EXPECT_TRUE(NothingInvalidated());
  }
}

TEST_F(CommandsTest, TheSpinAllReleaseShowsTheButtonByTheBoardState) {
  gameStatus.spinSettled = 0;
  Release(SpinAll);
  EXPECT_EQ(requests.spinButtonLook, 12);
  gameStatus.spinSettled = 1;
  Release(SpinAll);
  EXPECT_EQ(requests.spinButtonLook, 14);
  EXPECT_EQ(gameStatus.spinStep[0], 0);
}

TEST_F(CommandsTest, MakeScoreEmptiesTheLifeMeter) {
  SettledGame(Melvoria);
  TakeSounds();
  Press(MakeScore);
  EXPECT_EQ(gameStatus.life, 17) << "not offered yet";
  EXPECT_TRUE(TakeSounds().empty());

  engine.makeScoreReady = 1;
  Press(MakeScore);
  EXPECT_EQ(gameStatus.life, 0);
  EXPECT_EQ(TakeSounds(), std::vector<int>{4});
  EXPECT_EQ(requests.panelRequest, 25);
  EXPECT_EQ(engine.holdCountdown, 10);
  EXPECT_TRUE(Invalidated(ce::RECT{46, 540, 124, 612}));
  EXPECT_TRUE(Invalidated(ce::RECT{30, 148, 450, 178}));
  EXPECT_TRUE(Invalidated(ce::RECT{30, 450, 450, 480}));

  engine.buttonPressed = 0;
  ExecuteCommand(MainWindow(), MakeScore);
  EXPECT_EQ(requests.panelRequest, 22);
  EXPECT_EQ(engine.buttonPressed, 1);
}

TEST_F(CommandsTest, MakeScoreOnASettledBoardWithoutAGroupEndsTheGameAtTheNextMeterTick) {
  SettledGame(Melvoria);
  gameStatus.score = 4321;
  engine.makeScoreReady = 1;
  Press(MakeScore);
  engine.meterCountdown = 0;
  Step();
  EXPECT_EQ(engine.gamePhase, Ending);
  EXPECT_EQ(gameStatus.score, 4321);
}

struct BetCase {
  std::int32_t command, bet, betAfter;
};

const BetCase kBets[] = {
    {BetUp, 3, 6},    {BetUp, 96, 99}, {BetUp, 99, 3},    {BetUp, 97, 97},
    {BetDown, 3, 99}, {BetDown, 6, 3}, {BetDown, 99, 96},
};

TEST_F(CommandsTest, TheBetKeysStepByThreeAndWrapAround) {
  for (const BetCase& c : kBets) {
    SCOPED_TRACE(testing::Message() << "command " << c.command << " bet " << c.bet);
    SettledGame(Melvoria);
    gameStatus.betPercent = c.bet;
    TakeSounds();
    ce::ValidateRect(MainWindow(), nullptr);
    Press(c.command);
    EXPECT_EQ(gameStatus.betPercent, c.betAfter);
    EXPECT_EQ(TakeSounds(), std::vector<int>{6});
    EXPECT_EQ(requests.panelRequest, c.command == BetUp ? 31 : 32);
    EXPECT_EQ(engine.holdCountdown, 10);
    EXPECT_TRUE(Invalidated(ce::RECT{160, 546, 296, 608}));
    Release(c.command);
    EXPECT_EQ(requests.panelRequest, 30);
    EXPECT_EQ(engine.buttonPressed, 1);
    EXPECT_EQ(gameStatus.betPercent, c.betAfter);
  }
}

TEST_F(CommandsTest, TheBetKeysWaitForASettledBoardAndTheirDrawing) {
  for (int variant = 0; variant < 2; ++variant) {
    SettledGame(Melvoria);
    if (variant == 0) gameStatus.spinSettled = 0;
    if (variant == 1) engine.betKeysReady = 0;
    TakeSounds();
    Press(BetUp);
    Press(BetDown);
    EXPECT_EQ(gameStatus.betPercent, 3) << variant;
    EXPECT_TRUE(TakeSounds().empty()) << variant;
    EXPECT_EQ(requests.panelRequest, 0) << variant;
  }
}

TEST_F(CommandsTest, OtherCommandNumbersOnlyBecomeTheLastCommand) {
  for (std::int32_t command : {0, 15, -3, 1000}) {
    SettledGame(Melvoria);
    engine.makeScoreReady = 1;
    TakeSounds();
    Press(command);
    EXPECT_EQ(engine.lastCommand, command);
    EXPECT_TRUE(TakeSounds().empty());
    EXPECT_EQ(engine.holdCountdown, 0);
    EXPECT_EQ(gameStatus.life, 17);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(gameStatus.reelMotion[k], ReelIdle);
  }
}

}  // namespace
