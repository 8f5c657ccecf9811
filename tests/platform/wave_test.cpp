#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/internal.h"
#include "platform/device.h"
#include "platform/host.h"
#include "platform/scoped_env.h"

using namespace ce;

namespace {

WAVEFORMATEX Format(DWORD rate, WORD bits, WORD channels) {
  WORD align = WORD(channels * bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// What the callback saw, in order.
struct Report {
  HWAVEOUT device;
  UINT message;
  WAVEHDR* header;
  DWORD flags;
  std::size_t mixedFrames;  // output frames mixed by the end of the chunk in which it came
};
std::vector<Report> reports;
std::size_t mixedFrames = 0;

// Does what the game's callback does: unprepares the finished header inside WOM_DONE.
void Callback(HWAVEOUT device, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  reports.push_back(Report{device, message, header, header ? header->dwFlags : 0, mixedFrames});
  if (message == WOM_DONE) {
    EXPECT_EQ(waveOutUnprepareHeader(device, header, 32), MMSYSERR_NOERROR);
  }
}

class WaveTest : public ::testing::Test {
 protected:
  // SDL's dummy driver keeps the output paused, so only MixForTest plays.
  void SetUp() override {
    driver_.emplace("SDL_AUDIODRIVER", "dummy");
    WaveShutdown();
    reports.clear();
    mixedFrames = 0;
  }
  void TearDown() override {
    WaveShutdown();
    driver_.reset();
  }

  HWAVEOUT Open(const WAVEFORMATEX& format) {
    HWAVEOUT device = nullptr;
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Callback), 0,
                          CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return device;
  }
  // A buffer of 8-bit samples all of one level, prepared and written.
  void Play(HWAVEOUT device, WAVEHDR* header, std::vector<char>* data, std::size_t bytes, int level) {
    data->assign(bytes, char(128 + level));
    *header = WAVEHDR{};
    header->lpData = data->data();
    header->dwBufferLength = DWORD(bytes);
    ASSERT_EQ(waveOutPrepareHeader(device, header, 32), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, header, 32), MMSYSERR_NOERROR);
  }
  std::vector<float> Mix(int frames) {
    mixedFrames += std::size_t(frames);
    return host::MixForTest(frames);
  }
  std::vector<Report> DoneFor(HWAVEOUT device) {
    std::vector<Report> done;
    for (const Report& r : reports) {
      if (r.device == device && r.message == WOM_DONE) done.push_back(r);
    }
    return done;
  }

  std::optional<ScopedEnv> driver_;
};

TEST_F(WaveTest, DevicesOfDifferentRatesAreMixedInOrderAndEachBufferIsReportedOnce) {
  HWAVEOUT slow = Open(Format(8000, 8, 1));
  HWAVEOUT fast = Open(Format(22050, 8, 1));
  ASSERT_NE(slow, nullptr);
  ASSERT_NE(fast, nullptr);
  const double rate = host::WaveOutputRate();

  // slow: 50 ms at +0.5, then 100 ms at -0.25; fast: 100 ms at +0.125, then 50 ms at +0.0625.
  WAVEHDR s1, s2, f1, f2;
  std::vector<char> ds1, ds2, df1, df2;
  Play(slow, &s1, &ds1, 400, 64);
  Play(fast, &f1, &df1, 2205, 16);
  Play(slow, &s2, &ds2, 800, -32);
  Play(fast, &f2, &df2, 1103, 8);

  std::vector<host::WaveEvent> writes = host::WaveWrites();
  ASSERT_EQ(writes.size(), 4u);
  const std::pair<int, const WAVEHDR*> expectedWrites[] = {{1, &s1}, {2, &f1}, {1, &s2}, {2, &f2}};
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].device, expectedWrites[i].first);
    EXPECT_EQ(writes[i].header, expectedWrites[i].second);
    EXPECT_EQ(writes[i].bytes, expectedWrites[i].second->dwBufferLength);
  }

  // Mix 200 ms in 10 ms chunks.
  const int chunk = int(rate / 100);
  std::vector<float> out;
  for (int i = 0; i < 20; ++i) {
    std::vector<float> part = Mix(chunk);
    out.insert(out.end(), part.begin(), part.end());
  }

  // Where each buffer ends, in output frames, and the level in between.
  const double slowEnds[] = {0.05 * rate, 0.15 * rate};
  const double fastEnds[] = {0.1 * rate, 0.1 * rate + 1103 * rate / 22050};
  auto expected = [&](double frame) {
    double level = frame < slowEnds[0] ? 0.5 : frame < slowEnds[1] ? -0.25 : 0;
    return level + (frame < fastEnds[0] ? 0.125 : frame < fastEnds[1] ? 0.0625 : 0);
  };
  for (std::size_t frame = 0; frame < out.size() / 2; ++frame) {
    // Interpolation blends across the last source frame before each end.
    bool nearEdge = false;
    for (double e : slowEnds) nearEdge |= double(frame) > e - rate / 8000 - 1 && double(frame) < e + 1;
    for (double e : fastEnds) nearEdge |= double(frame) > e - rate / 22050 - 1 && double(frame) < e + 1;
    if (nearEdge) continue;
    ASSERT_NEAR(out[2 * frame], expected(double(frame)), 1e-4) << "frame " << frame;
    ASSERT_EQ(out[2 * frame], out[2 * frame + 1]) << "frame " << frame;
  }

  // Each buffer once, in its device's order, in the chunk in which it ended,
  // marked done and no longer queued (and unprepared by the callback).
  struct Expect {
    HWAVEOUT device;
    std::vector<const WAVEHDR*> headers;
    std::vector<double> endFrames;
  };
  for (const Expect& e : {Expect{slow, {&s1, &s2}, {slowEnds[0], slowEnds[1]}},
                          Expect{fast, {&f1, &f2}, {fastEnds[0], fastEnds[1]}}}) {
    std::vector<Report> done = DoneFor(e.device);
    ASSERT_EQ(done.size(), e.headers.size());
    for (std::size_t i = 0; i < done.size(); ++i) {
      EXPECT_EQ(done[i].header, e.headers[i]);
      EXPECT_EQ(done[i].flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      EXPECT_GE(double(done[i].mixedFrames), e.endFrames[i]);
      EXPECT_LT(double(done[i].mixedFrames), e.endFrames[i] + chunk + 1);
      EXPECT_EQ(done[i].header->dwFlags, WHDR_DONE);
    }
  }
  EXPECT_EQ(reports.size(), 6u);  // WOM_OPEN twice, WOM_DONE four times

  // Nothing further plays or is reported.
  std::vector<float> rest = Mix(chunk);
  for (float v : rest) ASSERT_EQ(v, 0.0f);
  EXPECT_EQ(reports.size(), 6u);
  EXPECT_EQ(waveOutClose(slow), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(fast), MMSYSERR_NOERROR);
}

TEST_F(WaveTest, SamplesOfEveryFormatReachTheirChannels) {
  const double rate = host::WaveOutputRate();
  struct Case {
    WORD bits;
    WORD channels;
    std::vector<unsigned char> frame;
    float left, right;
  };
  const Case cases[] = {
      {8, 1, {192}, 0.5f, 0.5f},
      {8, 2, {192, 96}, 0.5f, -0.25f},
      {16, 1, {0x00, 0xC0}, -0.5f, -0.5f},
      {16, 2, {0x00, 0x40, 0x00, 0xE0}, 0.5f, -0.25f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
    reports.clear();
    HWAVEOUT device = Open(Format(DWORD(rate), c.bits, c.channels));
    std::vector<char> data;
    for (int i = 0; i < 100; ++i) data.insert(data.end(), c.frame.begin(), c.frame.end());
    WAVEHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = DWORD(data.size());
    ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
    std::vector<float> out = Mix(120);
    for (int f = 0; f < 100; ++f) {
      ASSERT_FLOAT_EQ(out[2 * f], c.left);
      ASSERT_FLOAT_EQ(out[2 * f + 1], c.right);
    }
    for (int f = 100; f < 120; ++f) ASSERT_EQ(out[2 * f], 0.0f);
    EXPECT_EQ(DoneFor(device).size(), 1u);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  }
}

TEST_F(WaveTest, VolumeScalesTheMixAndZeroSilencesIt) {
  HWAVEOUT device = Open(Format(22050, 8, 1));
  struct Case {
    HWAVEOUT target;  // null: the output (device 0)
    DWORD volume;
    float level;  // of a +0.5 signal
  };
  // The game sets only the low word (left); it scales both channels.
  const Case cases[] = {{nullptr, 0, 0.0f},
                        {nullptr, 0xFFFF, 0.5f},
                        {nullptr, 32767, 0.5f * 32767 / 65535},
                        {device, 0x8000, 0.5f * 0x8000 / 65535}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
    waveOutSetVolume(device, 0xFFFFFFFFu);
    ASSERT_EQ(waveOutSetVolume(c.target, c.volume), MMSYSERR_NOERROR);
    DWORD read = 1;
    ASSERT_EQ(waveOutGetVolume(c.target, &read), MMSYSERR_NOERROR);
    EXPECT_EQ(read, c.volume);
    if (!c.target) {
      EXPECT_EQ(host::WaveOutputVolume(), c.volume);
    }

    reports.clear();
    WAVEHDR header;
    std::vector<char> data;
    Play(device, &header, &data, 441, 64);
    std::vector<float> out = Mix(200);
    for (int i = 0; i < 300; ++i) ASSERT_NEAR(out[i], c.level, 1e-4) << i;
    Mix(1000);
    // Silent or not, the buffer plays out and comes back.
    EXPECT_EQ(DoneFor(device).size(), 1u);
  }
  EXPECT_EQ(waveOutSetVolume(reinterpret_cast<HWAVEOUT>(std::uintptr_t(3)), 0), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

// 16-bit mono samples, prepared and written.
void PlaySamples(HWAVEOUT device, WAVEHDR* header, std::vector<std::int16_t>* samples) {
  *header = WAVEHDR{};
  header->lpData = reinterpret_cast<char*>(samples->data());
  header->dwBufferLength = DWORD(2 * samples->size());
  ASSERT_EQ(waveOutPrepareHeader(device, header, 32), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, header, 32), MMSYSERR_NOERROR);
}

float Level(std::int16_t sample) {
  return float(sample) / 32768.0f;
}

TEST_F(WaveTest, OverlappingLoudSoundsAreTurnedDownSmoothlyInsteadOfClipped) {
  const int rate = host::WaveOutputRate();
  const int chunk = 1024;  // what the real output asks for at a time
  // Two in-phase tones of 0.7 (period 100 frames) sum to 1.4. The second starts
  // at a rising zero crossing so that the sum first passes full scale 8 frames
  // into the third chunk, and ends after 200 ms; the first plays on alone.
  const int onset = 2040;
  const int ends = onset + rate / 5;
  auto tone = [](int n) {
    return std::int16_t(std::lround(0.7 * 32767 * std::sin(2 * std::numbers::pi * (n - 40) / 100)));
  };
  std::vector<std::int16_t> first(static_cast<std::size_t>(rate)), second(static_cast<std::size_t>(ends));
  for (int n = 0; n < rate; ++n) first[std::size_t(n)] = tone(n);
  for (int n = onset; n < ends; ++n) second[std::size_t(n)] = tone(n);
  HWAVEOUT a = Open(Format(DWORD(rate), 16, 1));
  HWAVEOUT b = Open(Format(DWORD(rate), 16, 1));
  WAVEHDR ha, hb;
  PlaySamples(a, &ha, &first);
  PlaySamples(b, &hb, &second);

  std::vector<float> out;
  while (out.size() < 2 * first.size()) {
    std::vector<float> part = Mix(chunk);
    out.insert(out.end(), part.begin(), part.end());
  }

  float loudest = 0;
  float lastGain = 1;
  int lastMeasured = 0;
  for (int n = 0; n < rate; ++n) {
    SCOPED_TRACE(testing::Message() << "frame " << n);
    std::size_t i = std::size_t(n);
    float sum = Level(first[i]) + (i < second.size() ? Level(second[i]) : 0.0f);
    float left = out[2 * i];
    ASSERT_EQ(left, out[2 * i + 1]);
    loudest = std::max(loudest, std::fabs(left));
    // Never at the rails, never turned over, never louder than the sum.
    ASSERT_LT(std::fabs(left), 1.0f);
    ASSERT_LE(std::fabs(left), std::fabs(sum));
    ASSERT_GE(left * sum, 0.0f);
    // The sum's shape under a gain that moves gently: a clipped peak would
    // change it by several hundredths from one frame to the next.
    if (std::fabs(sum) > 0.05f) {
      float gain = left / sum;
      ASSERT_NEAR(gain, lastGain, 0.02f * float(n - lastMeasured));
      ASSERT_GT(gain, 0.65f);
      lastGain = gain;
      lastMeasured = n;
    }
    // Until shortly before the overlap and once the gain has recovered after it,
    // exactly the sum.
    if (n < onset - rate / 200 || n > ends + rate / 2) {
      ASSERT_EQ(left, sum);
    }
  }
  EXPECT_GT(loudest, 0.95f);
  EXPECT_EQ(DoneFor(a).size(), 1u);
  EXPECT_EQ(DoneFor(b).size(), 1u);
}

TEST_F(WaveTest, ASoundAloneKeepsItsExactSamplesUpToFullScale) {
  const int rate = host::WaveOutputRate();
  const std::int16_t pattern[] = {-32768, 32767, 32767, -32768, 30000, -20000, 0, 1, -1};
  std::vector<std::int16_t> samples;
  for (int i = 0; i < 300; ++i) samples.insert(samples.end(), std::begin(pattern), std::end(pattern));
  HWAVEOUT device = Open(Format(DWORD(rate), 16, 1));
  // Full volume, and the volume word of the game's default 80.
  for (DWORD volume : {DWORD(0xFFFF), DWORD(0xCCCC)}) {
    SCOPED_TRACE(volume);
    ASSERT_EQ(waveOutSetVolume(nullptr, volume), MMSYSERR_NOERROR);
    const float gain = float(volume) / 65535.0f;
    WAVEHDR header;
    PlaySamples(device, &header, &samples);
    std::vector<float> out;
    for (int part = 0; part < 3; ++part) {
      std::vector<float> mixed = Mix(1024);
      out.insert(out.end(), mixed.begin(), mixed.end());
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
      ASSERT_EQ(out[2 * i], gain * Level(samples[i])) << i;
      ASSERT_EQ(out[2 * i + 1], out[2 * i]) << i;
    }
  }
  EXPECT_EQ(DoneFor(device).size(), 2u);
}

TEST_F(WaveTest, HeadersFollowTheHandheldRules) {
  HWAVEOUT device = Open(Format(11025, 8, 1));
  std::vector<char> data(1000, char(128));
  WAVEHDR a{}, b{};
  a.lpData = b.lpData = data.data();
  a.dwBufferLength = b.dwBufferLength = DWORD(data.size());

  EXPECT_EQ(waveOutWrite(device, &a, 32), WAVERR_UNPREPARED);
  EXPECT_EQ(waveOutPrepareHeader(device, &a, 16), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveOutPrepareHeader(device, &a, 32), MMSYSERR_NOERROR);
  EXPECT_EQ(a.dwFlags, WHDR_PREPARED);
  ASSERT_EQ(waveOutPrepareHeader(device, &b, 32), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &a, 32), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &b, 32), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutWrite(device, &a, 32), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutUnprepareHeader(device, &a, 32), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);
  EXPECT_TRUE(a.dwFlags & WHDR_INQUEUE);

  // Reset hands every queued buffer back, in order, then the device closes.
  ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  std::vector<Report> done = DoneFor(device);
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0].header, &a);
  EXPECT_EQ(done[1].header, &b);
  EXPECT_EQ(a.dwFlags, WHDR_DONE);
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(reports.back().message, WOM_CLOSE);
  EXPECT_EQ(reports.front().message, WOM_OPEN);

  // The closed handle is dead; a never-opened one (a failed open's 0) likewise.
  for (HWAVEOUT dead : {device, static_cast<HWAVEOUT>(nullptr)}) {
    EXPECT_EQ(waveOutPrepareHeader(dead, &a, 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(dead, &a, 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutUnprepareHeader(dead, &a, 32), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(dead), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(dead), MMSYSERR_INVALHANDLE);
  }
  Mix(100);
  EXPECT_EQ(DoneFor(device).size(), 2u);
}

TEST_F(WaveTest, OpenRefusesWhatItCannotPlay) {
  struct Case {
    UINT deviceId;
    WAVEFORMATEX format;
    DWORD_PTR callback;
    DWORD flags;
    MMRESULT result;
  };
  auto callback = reinterpret_cast<DWORD_PTR>(&Callback);
  WAVEFORMATEX badTag = Format(22050, 8, 1);
  badTag.wFormatTag = 2;
  WAVEFORMATEX badAlign = Format(22050, 16, 2);
  badAlign.nBlockAlign = 2;
  const Case cases[] = {
      {1, Format(22050, 8, 1), callback, CALLBACK_FUNCTION, MMSYSERR_BADDEVICEID},
      {WAVE_MAPPER, badTag, callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, badAlign, callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, Format(22050, 24, 1), callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, Format(22050, 8, 3), callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, Format(3999, 8, 1), callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, Format(96001, 8, 1), callback, CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {WAVE_MAPPER, Format(22050, 8, 1), 0, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
      {WAVE_MAPPER, Format(22050, 8, 1), callback, 0x00010000, MMSYSERR_INVALPARAM},
      {0, Format(4000, 16, 2), 0, CALLBACK_NULL, MMSYSERR_NOERROR},
      {WAVE_MAPPER, Format(96000, 8, 1), callback, CALLBACK_FUNCTION, MMSYSERR_NOERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "expecting " << c.result);
    HWAVEOUT device = reinterpret_cast<HWAVEOUT>(std::uintptr_t(1));
    EXPECT_EQ(waveOutOpen(&device, c.deviceId, &c.format, c.callback, 0, c.flags), c.result);
    EXPECT_EQ(device == nullptr, c.result != MMSYSERR_NOERROR);
    if (device) {
      EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    }
  }
}

TEST_F(WaveTest, NoAudioDeviceFailsTheOpenAndNothingElse) {
  WAVEFORMATEX format = Format(22050, 8, 1);
  {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    for (int attempt = 0; attempt < 2; ++attempt) {
      HWAVEOUT device = reinterpret_cast<HWAVEOUT>(std::uintptr_t(1));
      EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Callback), 0,
                            CALLBACK_FUNCTION),
                MMSYSERR_NODRIVER);
      EXPECT_EQ(device, nullptr);
      // What the game does next with the handle it got: each call fails, none crashes.
      WAVEHDR header{};
      EXPECT_EQ(waveOutPrepareHeader(device, &header, 32), MMSYSERR_INVALHANDLE);
      EXPECT_EQ(waveOutWrite(device, &header, 32), MMSYSERR_INVALHANDLE);
      EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE);
    }
    EXPECT_EQ(waveOutSetVolume(nullptr, 0x1234), MMSYSERR_NOERROR);
    EXPECT_EQ(host::MixForTest(10), std::vector<float>(20, 0.0f));
    EXPECT_TRUE(reports.empty());
  }
  // After a reset the output is tried again.
  WaveShutdown();
  HWAVEOUT device = Open(format);
  EXPECT_NE(device, nullptr);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

// A driver that plays in real time (into a file): buffers come back on the
// audio thread, in order, while the callback unprepares them as the game does.
struct ThreadReports {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<WAVEHDR*> done;
  std::vector<std::thread::id> threads;
};

void ThreadCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WOM_DONE) return;
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  EXPECT_EQ(waveOutUnprepareHeader(device, header, 32), MMSYSERR_NOERROR);
  auto* r = reinterpret_cast<ThreadReports*>(instance);
  std::lock_guard<std::mutex> lock(r->mutex);
  r->done.push_back(header);
  r->threads.push_back(std::this_thread::get_id());
  r->changed.notify_all();
}

// A real SDL output (its "disk" driver, writing into a folder of its own), for
// as long as the object lives; the device reports to a ThreadReports.
struct DiskOutput {
  DiskOutput() {
    char tmpl[] = "/tmp/melvoria-wave-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) dir = tmpl;
    file.Set(dir + "/out.raw");
  }
  ~DiskOutput() {
    WaveShutdown();
    std::filesystem::remove_all(dir);
  }
  HWAVEOUT Open(ThreadReports* r) {
    WAVEFORMATEX format = Format(11025, 8, 1);
    HWAVEOUT device = nullptr;
    if (dir.empty() ||
        waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&ThreadCallback),
                    reinterpret_cast<DWORD_PTR>(r), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
      return nullptr;
    return device;
  }
  std::string dir;
  ScopedEnv driver{"SDL_AUDIODRIVER", "disk"};
  ScopedEnv file{"SDL_DISKAUDIOFILE"};
};

TEST_F(WaveTest, ARealOutputReportsBuffersFromTheAudioThread) {
  ThreadReports r;  // outlives the output, which may still report at its end
  DiskOutput out;
  HWAVEOUT device = out.Open(&r);
  ASSERT_NE(device, nullptr);
  std::vector<char> data(220, char(140));  // 20 ms each
  WAVEHDR headers[5] = {};
  for (WAVEHDR& h : headers) {
    h.lpData = data.data();
    h.dwBufferLength = DWORD(data.size());
    ASSERT_EQ(waveOutPrepareHeader(device, &h, 32), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &h, 32), MMSYSERR_NOERROR);
  }
  {
    std::unique_lock<std::mutex> lock(r.mutex);
    r.changed.wait_for(lock, std::chrono::seconds(10), [&] { return r.done.size() >= 5; });
    ASSERT_EQ(r.done.size(), 5u);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(r.done[i], &headers[i]);
      EXPECT_NE(r.threads[i], std::this_thread::get_id());
    }
  }
  for (WAVEHDR& h : headers) EXPECT_EQ(h.dwFlags, WHDR_DONE);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

// The output runs only while there is something to play: stopped before the
// first write, running from a write until its buffers are done, then stopped
// again, and a later write is played all the same.
TEST_F(WaveTest, ARealOutputStopsWhenNothingIsQueuedAndAWriteStartsIt) {
  ThreadReports r;  // outlives the output, which may still report at its end
  DiskOutput out;
  HWAVEOUT device = out.Open(&r);
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(host::WaveOutputRunning());
  std::vector<char> data(2205, char(140));  // 200 ms each
  WAVEHDR headers[2] = {};
  auto playAndWait = [&](WAVEHDR& h, std::size_t doneBefore) {
    h.lpData = data.data();
    h.dwBufferLength = DWORD(data.size());
    ASSERT_EQ(waveOutPrepareHeader(device, &h, 32), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &h, 32), MMSYSERR_NOERROR);
    EXPECT_TRUE(host::WaveOutputRunning());
    std::unique_lock<std::mutex> lock(r.mutex);
    ASSERT_TRUE(
        r.changed.wait_for(lock, std::chrono::seconds(10), [&] { return r.done.size() > doneBefore; }));
    EXPECT_EQ(r.done.back(), &h);
  };
  auto stopsSoon = [] {
    for (int i = 0; i < 200 && host::WaveOutputRunning(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !host::WaveOutputRunning();
  };
  playAndWait(headers[0], 0);
  EXPECT_TRUE(stopsSoon()) << "the output kept running with nothing to play";
  playAndWait(headers[1], 1);
  EXPECT_TRUE(stopsSoon());
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST_F(WaveTest, ShutdownHandsQueuedBuffersBack) {
  HWAVEOUT device = Open(Format(22050, 8, 1));
  WAVEHDR header;
  std::vector<char> data;
  Play(device, &header, &data, 2000, 10);
  WaveShutdown();
  std::vector<Report> done = DoneFor(device);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].header, &header);
  EXPECT_EQ(header.dwFlags, WHDR_DONE);  // and unprepared by the callback
  EXPECT_EQ(reports.back().message, WOM_CLOSE);
  EXPECT_TRUE(host::WaveWrites().empty());
  EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE);
}

}  // namespace
