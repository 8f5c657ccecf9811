// Damaged stores: arbitrary 692-byte records and hi-score tables, played for
// thousands of ticks and commands. The sanitizer build turns any overflow, any
// access outside an array and any other undefined behaviour into a failure.
#include <cstring>
#include <random>

#include "game/world.h"
#include "screens/export_code.h"

namespace {

using namespace testworld;

class FuzzTest : public EngineTest {};

template <class T>
void Scramble(T* image, std::mt19937& rng) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(image);
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = std::uint8_t(rng());
}

// A record near a real one: a running game with a few fields set to anything.
void Damage(std::mt19937& rng) {
  std::int32_t* words = reinterpret_cast<std::int32_t*>(&gameStatus);
  const int n = 1 + int(rng() % 6);
  for (int i = 0; i < n; ++i) {
    std::int32_t& w = words[rng() % (sizeof(GameStatus) / 4)];
    switch (rng() % 4) {
      case 0:
        w = std::int32_t(rng());
        break;
      case 1:
        w = std::int32_t(rng() % 2000) - 1000;
        break;
      case 2:
        w = rng() % 2 ? 0x7FFFFFFF : -0x7FFFFFFF - 1;
        break;
      default:
        w = std::int32_t(rng() % 120);
        break;
    }
  }
}

TEST_F(FuzzTest, DamagedStoresPlayWithoutHarm) {
  OpenSounds();
  std::mt19937 rng(20240601);
  for (int record = 0; record < 300; ++record) {
    SCOPED_TRACE(record);
    engine = EngineState{};
    requests = RenderRequests{};
    if (record % 2 == 0) {
      Scramble(&gameStatus, rng);
    } else {
      gameStatus.gameMode = std::int32_t(1 + rng() % 3);
      gameStatus.gameSpeed = std::int32_t(1 + rng() % 3);
      gameStatus.soundOn = 1;
      BeginNewGame();
      for (int i = 0; i < 600; ++i) GameTick(MainWindow());
      Damage(rng);
    }
    for (HiScoreTable& t : hiScoreTables) Scramble(&t, rng);
    RepairHiScoreTables();
    for (const HiScoreTable& t : hiScoreTables) ASSERT_TRUE(t.lastEntry >= 0 && t.lastEntry <= 4);

    // Start-up continues the stored game.
    engine.gamePhase = Running;
    engine.resumePending = 1;
    ApplyVolume();
    FirstPlayPaint();
    for (int tick = 0; tick < 2500; ++tick) {
      if (rng() % 16 == 0) {
        engine.buttonPressed = std::uint8_t(rng() % 2);
        ExecuteCommand(MainWindow(), std::int32_t(rng() % 17) - 1);
      }
      if (rng() % 500 == 0) engine.gamePhase = std::int32_t(rng() % 3);
      if (rng() % 700 == 0) engine.comboLevel = std::int32_t(rng());
      Step();
    }
    // The tables take names and scores whatever they held.
    InsertHiScore(u"Fuzzy", std::int32_t(rng()), true, std::int32_t(rng() % 5));
    QualifiesForHiScore(std::int32_t(rng() % 5), std::int32_t(rng()));
    for (const HiScoreTable& t : hiScoreTables)
      for (const HiScoreEntry& e : t.entries) EXPECT_LE(EntryName(e).size(), 12u);
    BuildExportCode(std::int32_t(rng()), u"003", u"10");
    // Queued sounds come back done and are freed before the next record.
    for (int id = 1; id <= kSounds; ++id)
      if (soundBank.devices[std::size_t(id)] != nullptr) ce::waveOutReset(soundBank.devices[std::size_t(id)]);
  }
}

}  // namespace
