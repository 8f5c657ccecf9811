#include <climits>

#include "game/world.h"

namespace {

using namespace testworld;

class SoundBankTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    OpenSounds();
  }
};

struct RecordCase {
  int id, resource;
  ce::DWORD rate;
  ce::DWORD played;
};

const RecordCase kRecords[] = {
    {1, 443, 22050, 9168}, {2, 444, 22050, 5896},  {3, 442, 11025, 16116}, {4, 445, 11025, 6144},
    {5, 441, 8000, 13034}, {6, 446, 22050, 2080},  {7, 447, 22050, 5984},  {8, 448, 22050, 5176},
    {9, 449, 22050, 5952}, {10, 450, 22050, 6128}, {11, 451, 22050, 5968}, {12, 452, 22050, 4008},
};

TEST_F(SoundBankTest, EachSoundPlaysItsSamplesOnItsOwnDevice) {
  for (const RecordCase& c : kRecords) {
    SCOPED_TRACE(c.id);
    const SoundRecord& r = soundBank.records[std::size_t(c.id)];
    EXPECT_EQ(kSoundResource[std::size_t(c.id)], c.resource);
    EXPECT_EQ(r.format.wFormatTag, ce::WAVE_FORMAT_PCM);
    EXPECT_EQ(r.format.nChannels, 1);
    EXPECT_EQ(r.format.wBitsPerSample, 8);
    EXPECT_EQ(r.format.nSamplesPerSec, c.rate);
    EXPECT_NE(soundBank.devices[std::size_t(c.id)], nullptr);
    PlaySoundRecord(&soundBank.records[std::size_t(c.id)], c.id);
    auto writes = ce::host::WaveWrites();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().device, c.id);
    EXPECT_EQ(writes.back().bytes, c.played);
    EXPECT_EQ(writes.back().header->lpData, reinterpret_cast<const char*>(r.data.get() + 44));
  }
}

struct EventCase {
  int event;
  std::int32_t comboLevel;
  std::vector<int> sounds;
};

const EventCase kEvents[] = {
    {1, 1, {6}}, {2, 1, {12}}, {3, 1, {3}}, {4, 1, {1}},  {5, 1, {2}},  {6, 1, {4}},
    {7, 1, {7}}, {7, 2, {8}},  {7, 3, {9}}, {7, 4, {10}}, {7, 5, {11}}, {7, 0, {}},
    {7, 6, {}},  {8, 1, {6}},  {9, 1, {5}}, {0, 1, {}},   {10, 1, {}},  {-1, 1, {}},
};

TEST_F(SoundBankTest, EventsPickTheirSounds) {
  for (const EventCase& c : kEvents) {
    SCOPED_TRACE(testing::Message() << "event " << c.event << " combo " << c.comboLevel);
    engine.comboLevel = c.comboLevel;
    TakeSounds();
    PlaySoundEvent(c.event);
    EXPECT_EQ(TakeSounds(), c.sounds);
  }
}

TEST_F(SoundBankTest, MuteSilencesEveryEvent) {
  for (std::uint8_t soundOn : {0, 2, 255}) {
    gameStatus.soundOn = soundOn;
    for (int event = 1; event <= 9; ++event) PlaySoundEvent(event);
    EXPECT_TRUE(TakeSounds().empty()) << int(soundOn);
  }
}

TEST_F(SoundBankTest, ASoundTriggeredAgainQueuesBehindItself) {
  for (int i = 0; i < 5; ++i) PlaySoundEvent(2);
  EXPECT_EQ(TakeSounds(), std::vector<int>(5, 12));
  // Play them all through: each header comes back done and is freed by SoundDone.
  ce::host::MixForTest(ce::host::WaveOutputRate() * 2);
  PlaySoundEvent(2);
  EXPECT_EQ(TakeSounds(), std::vector<int>{12});
}

TEST_F(SoundBankTest, ASoundWithoutADeviceOrSamplesStaysSilent) {
  soundBank.devices[12] = nullptr;  // as when its device failed to open
  PlaySoundEvent(2);
  SoundRecord tiny;
  tiny.data = std::make_unique<std::uint8_t[]>(100);
  tiny.size = 100;  // shorter than the 1244 bytes the length rule leaves out
  PlaySoundRecord(&tiny, 6);
  SoundRecord empty;
  PlaySoundRecord(&empty, 1);
  PlaySoundRecord(&soundBank.records[1], 0);
  PlaySoundRecord(&soundBank.records[1], 13);
  EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(SoundBankTest, AMissingResourceLoadsAnEmptyRecord) {
  SoundRecord r;
  LoadSound(&r, 9999);
  EXPECT_EQ(r.size, 0u);
  PlaySoundRecord(&r, 3);
  EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(SoundBankTest, VolumeSetsTheLeftChannelOfTheOutput) {
  struct Case {
    std::int32_t volume;
    ce::DWORD word;
  };
  for (Case c : {Case{0, 0}, Case{50, 32767}, Case{80, 52428}, Case{100, 65535}, Case{-5, 0},
                 Case{101, 65535}, Case{INT_MIN, 0}, Case{INT_MAX, 65535}}) {
    gameStatus.volume = c.volume;
    ApplyVolume();
    EXPECT_EQ(ce::host::WaveOutputVolume(), c.word) << c.volume;
  }
}

TEST_F(SoundBankTest, TheEngineSoundsReachTheDevices) {
  // A new game's opening spin sounds event 9, a reel coming to rest event 8.
  gameStatus.gameMode = Easy;
  TakeSounds();
  FirstPlayPaint();
  EXPECT_EQ(TakeSounds(), std::vector<int>{5});
  ASSERT_TRUE(StepUntil([] { return gameStatus.spinSettled == 1; }, 20000));
  EXPECT_EQ(TakeSounds(), std::vector<int>(5, 6));
}

}  // namespace
