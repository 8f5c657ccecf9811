// The engine's run-time values and the requests it leaves for the play screen.
// The persisted half of a game lives in the GameStatus image (store/game_status.h).
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "platform/device.h"

enum GameMode : std::int32_t { NoGame = 0, Easy = 1, Hard = 2, Melvoria = 3 };

enum GamePhase : std::int32_t { NotStarted = 0, Running = 1, Ending = 2, Idle = 10 };

enum Item : std::int32_t {
  Blank = 0,
  Cherries = 1,
  Strawberry = 2,
  Orange = 3,
  Grapes = 4,
  Watermelon = 5,
  Bell = 6,
  Super = 7,
};

// Reel motion; `Idle` of a reel is spelled ReelIdle here because the game phase owns the bare name.
enum ReelMotion : std::int32_t { ReelIdle = 0, Down = 1, Up = 2, Locked = 10 };

enum Command : std::int32_t {
  ReelUp = 1,    // 1..5: reel (command - 1)
  ReelDown = 6,  // 6..10: reel (command - 6)
  SpinAll = 11,
  MakeScore = 12,
  BetUp = 13,
  BetDown = 14,
};

constexpr std::int32_t kReels = 5;
constexpr std::int32_t kCells = 15;
constexpr std::int32_t kStripLength = 24;
constexpr std::int32_t kLines = 29;
constexpr std::int32_t kSlots = 21;
constexpr std::int32_t kNothingPending = 1000;  // pendingItem: no replacement waiting
constexpr std::int32_t kSlotEmpty = 5000;       // slotItem: nothing to draw
constexpr ce::UINT_PTR kGameTimer = 1324;

template <std::size_t N>
constexpr std::array<std::int32_t, N> Filled(std::int32_t v) {
  std::array<std::int32_t, N> a{};
  for (auto& x : a) x = v;
  return a;
}

// Sums over stored values: a damaged record may hold anything, so these never
// overflow; they stop at the ends of the 32-bit range.
constexpr std::int32_t SatAdd(std::int64_t a, std::int64_t b) {
  std::int64_t s = a + b;
  if (s > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (s < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(s);
}

// The engine's run-time values (not stored). Initial values are those at program start.
struct EngineState {
  std::int32_t gamePhase = NotStarted;

  // The six difficulty values of the difficulty schedule, kept from game to game.
  std::int32_t lifeGain3 = 3;
  std::int32_t lifeGain4 = 5;
  std::int32_t lifeGain5 = 10;
  std::int32_t moveCost = 1;
  std::int32_t spinCost = 3;
  std::int32_t pointFactor = 5;
  std::int32_t hardDrainCount = 0;

  std::int32_t comboLevel = 1;  // 1..5, picks the match sound
  std::int32_t replaceStep = 0;
  std::array<std::int32_t, kReels> savedSpeed{};
  std::uint8_t lifeOut = 0;
  std::int32_t sequenceCount = 0;
  std::int32_t betUpState = 0;  // 0 none, 1 begun (banner to load), 2 banner shown

  // Ready flags: set by the play screen when it draws a control usable.
  std::uint8_t reelButtonsReady = 0;
  std::uint8_t spinButtonReady = 0;
  std::uint8_t makeScoreReady = 0;
  std::uint8_t betKeysReady = 0;
  std::uint8_t buttonPressed = 1;  // 1: the next button command is a press, 0: the release
  std::uint8_t resumePending = 0;
  std::int32_t lastCommand = 0;

  // Timing, in ticks. The countdowns are not reset between games.
  std::int32_t holdTicks = 0;
  std::int32_t holdCountdown = 0;
  std::int32_t checkPeriod = 0;
  std::int32_t checkCountdown = 0;
  std::int32_t meterPeriod = 0;
  std::int32_t meterCountdown = 0;

  // The running score transfer.
  std::int32_t transferSeen = 0;
  std::int32_t transferLeft = 0;
  std::int32_t transferChunk = 0;

  std::int32_t shownTable = 1;  // the hi-score table the hi-score screens show

  // Board origin on the play screen, logical; set by the play screen's setup.
  std::int32_t boardX = 15;
  std::int32_t boardY = 89;
};

// What the play screen must draw next. The engine sets a request, the painter
// acts on it and clears it; a request set twice before it is served is served once.
struct RenderRequests {
  // Animation slots 0..20: reel k's motion uses 4k+1..4k+4, a replaced cell i uses slot i.
  std::array<std::int32_t, kSlots> slotItem =
      Filled<kSlots>(kSlotEmpty);                 // item code; any int from a damaged store
  std::array<std::int32_t, kSlots> slotPlace{};   // 0..14 cell, 101+k above reel k, 106+k below it
  std::array<std::int32_t, kSlots> slotOffset{};  // pixels

  std::int32_t reelsMovedDown = 0;
  std::int32_t reelsMovedUp = 0;
  std::int32_t replaceDirty = 0;
  std::int32_t boardDirty = 0;
  std::int32_t metersDirty = 0;
  std::int32_t matchLinesDirty = 0;
  std::array<std::int32_t, kLines + 1> matchLine{};  // [1..29]; [0] unused
  std::int32_t spinButtonLook = 0;                   // 12 usable, 13 pressed, 14 disabled
  std::int32_t panelRequest = 0;                     // 20..32
  std::int32_t buttonToRedraw = 0;                   // command + 1 of an arrow, 2..11
  std::int32_t refillRequest = 0;
  std::int32_t gameOverBanner = 0;  // 0 none, 1 to be loaded, 2 shown
  std::int32_t scoreBanner = 0;
  std::int32_t playSetupPending = 0;
};

extern EngineState engine;
extern RenderRequests requests;

// Rectangles the engine invalidates, logical (left, top, right, bottom).
struct LogicalRect {
  std::int32_t left, top, right, bottom;
};
constexpr LogicalRect kSpinAllRect{164, 268, 216, 312};
constexpr LogicalRect kMakeScoreRect{23, 270, 62, 306};
constexpr LogicalRect kBetKeysRect{80, 273, 148, 304};
constexpr LogicalRect kScoreBoxRect{34, 254, 88, 268};
constexpr LogicalRect kBetBoxRect{106, 254, 124, 268};
constexpr LogicalRect kLifeBarRect{151, 258, 196, 265};
constexpr LogicalRect kTopAreaRect{0, 0, 200, 100};
LogicalRect UpArrowRow();
LogicalRect DownArrowRow();
LogicalRect BoardRect();
LogicalRect UpArrowRect(int reel);
LogicalRect DownArrowRect(int reel);
void InvalidateLogical(ce::HWND window, const LogicalRect& r);

// Strip position of visible row r (0..2) is 11 + r.
constexpr int kTopRowPosition = 11;
std::int32_t& BoardValue(int cell);  // the strip value shown in cell 0..14
bool AllReelsIdle();
