// The GameStatus record: the settings and the resumable game, stored byte for
// byte as the registry value "GameStatus". The settings live in it at run time,
// and so does every engine field that a resumed game needs.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

struct GameStatus {
  std::uint32_t reserved0;
  std::uint32_t unusedWord4;
  std::uint8_t initialised;  // 1 once a record exists
  std::uint8_t padding9[3];
  std::uint32_t reserved12;
  std::uint8_t unused16[24];
  std::int32_t volume;  // 0..100
  std::uint8_t helpEnabled;
  std::uint8_t joystickControl;
  std::uint8_t unusedByte46;
  std::uint8_t soundOn;     // 1: sounds play
  std::int32_t gameMode;    // GameMode of the game in progress, 0 = none
  std::int32_t betPercent;  // 3..99 in steps of 3
  std::int32_t spare56;
  std::int32_t gameSpeed;  // 1 Normal, 2 Fast, 3 Fastest
  std::int32_t score;
  std::int32_t pendingPoints;     // points won, not yet in the score
  std::int32_t reelStrip[5][24];  // [reel][position]; position 0 only travels with the record
  std::int32_t reelSpeed[5];      // pixels per tick
  std::int32_t spinStep[5];       // 0 = not spinning
  std::uint8_t spinSettled;
  std::uint8_t padding593[3];
  std::int32_t life;             // 0..30
  std::int32_t lifeGain;         // units still to add, one per meter tick
  std::int32_t lifeLoss;         // units still to take
  std::int32_t pendingItem[15];  // per cell: the value replacing a matched item, 1000 = none
  std::uint8_t matchActive;
  std::uint8_t matchPause;  // ticks before matched cells are replaced
  std::uint8_t padding670[2];
  std::int32_t reelMotion[5];
};

static_assert(std::endian::native == std::endian::little, "the stored records are little-endian images");
static_assert(std::is_standard_layout_v<GameStatus> && std::is_trivially_copyable_v<GameStatus>);
static_assert(sizeof(GameStatus) == 692);
static_assert(offsetof(GameStatus, reserved0) == 0);
static_assert(offsetof(GameStatus, unusedWord4) == 4);
static_assert(offsetof(GameStatus, initialised) == 8);
static_assert(offsetof(GameStatus, padding9) == 9);
static_assert(offsetof(GameStatus, reserved12) == 12);
static_assert(offsetof(GameStatus, unused16) == 16);
static_assert(offsetof(GameStatus, volume) == 40);
static_assert(offsetof(GameStatus, helpEnabled) == 44);
static_assert(offsetof(GameStatus, joystickControl) == 45);
static_assert(offsetof(GameStatus, unusedByte46) == 46);
static_assert(offsetof(GameStatus, soundOn) == 47);
static_assert(offsetof(GameStatus, gameMode) == 48);
static_assert(offsetof(GameStatus, betPercent) == 52);
static_assert(offsetof(GameStatus, spare56) == 56);
static_assert(offsetof(GameStatus, gameSpeed) == 60);
static_assert(offsetof(GameStatus, score) == 64);
static_assert(offsetof(GameStatus, pendingPoints) == 68);
static_assert(offsetof(GameStatus, reelStrip) == 72);
static_assert(offsetof(GameStatus, reelSpeed) == 552);
static_assert(offsetof(GameStatus, spinStep) == 572);
static_assert(offsetof(GameStatus, spinSettled) == 592);
static_assert(offsetof(GameStatus, padding593) == 593);
static_assert(offsetof(GameStatus, life) == 596);
static_assert(offsetof(GameStatus, lifeGain) == 600);
static_assert(offsetof(GameStatus, lifeLoss) == 604);
static_assert(offsetof(GameStatus, pendingItem) == 608);
static_assert(offsetof(GameStatus, matchActive) == 668);
static_assert(offsetof(GameStatus, matchPause) == 669);
static_assert(offsetof(GameStatus, padding670) == 670);
static_assert(offsetof(GameStatus, reelMotion) == 672);

// The program-wide image, all zero until the store is read.
extern GameStatus gameStatus;
