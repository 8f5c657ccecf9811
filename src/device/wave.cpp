// Wave output: every logical device is a FIFO of buffers in its own format;
// one SDL output mixes them all, resampling each to the output rate by linear
// interpolation. Finished buffers are reported (WOM_DONE) from the thread that
// mixed them, the audio thread in a real run.
//
// Locks: `delivery` is held while mixing and while user callbacks run, so a
// device cannot be closed under a callback that is still to come; `mutex`
// guards the devices and queues and is never held during a user callback,
// because the game's callback calls waveOutUnprepareHeader. Order: delivery,
// then mutex. SDL calls that wait for the audio thread are made holding neither.
//
// Overlapping sounds can sum past full scale; a limiter then turns the whole
// mix down. One sound alone never passes full scale (no sample and no gain is
// above 1), so it comes out exactly as mixed.
//
// The output runs only while there is something to play: the mixer stops it
// once every queue has run dry and the limiter has let go, and a write starts
// it again, so a quiet game costs no CPU. In a browser the output is the
// page's audio context, suspended and resumed instead (a paused SDL output
// there would still be called for silence), and it is opened at the first
// write rather than the first open: making the context holds the page for a
// long step, which the page's start goes without.
#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "device/internal.h"
#include "platform/device.h"
#include "platform/host.h"

namespace ce {

struct WaveDevice {
  int number = 0;  // opening order from 1
  WAVEFORMATEX format{};
  WaveOutProc callback = nullptr;
  DWORD_PTR instance = 0;
  DWORD volume = 0xFFFFFFFFu;
  std::deque<WAVEHDR*> queue;
  double position = 0;  // in source frames from the start of the front buffer
};

namespace {

// The handheld's WAVEHDR is 32 bytes; ours is larger on a 64-bit host, and
// the game passes either size.
constexpr UINT kHandheldHeaderSize = 32;
constexpr int kPreferredRate = 44100;

// The limiter brings a peak that would pass full scale to kCeiling. Its gain
// falls along a ramp that reaches any level within kAttackSeconds before the
// peak, looking that far past the chunk into what is queued, and recovers by
// doubling every kReleaseSeconds.
constexpr float kCeiling = 0.98f;
constexpr double kAttackSeconds = 0.0025;
constexpr double kReleaseSeconds = 0.1;

struct Done {
  HWAVEOUT device;
  WaveOutProc callback;
  DWORD_PTR instance;
  WAVEHDR* header;
};

struct State {
  std::recursive_mutex delivery;
  std::mutex mutex;
  std::vector<std::unique_ptr<WaveDevice>> devices;
  int nextNumber = 1;
  std::vector<host::WaveEvent> writes;
  DWORD outputVolume = 0xFFFFFFFFu;
  int rate = kPreferredRate;
  float limiterGain = 1.0f;
  std::vector<float> ahead;  // the mix past the chunk, as queued (stereo)
  std::vector<float> limit;  // the highest gain each frame allows

  // The SDL output, touched only by the UI thread.
  std::mutex outputMutex;
  SDL_AudioDeviceID output = 0;
  bool outputFailed = false;
  // The output that plays (not the dummy driver's), for starting and stopping
  // it from either thread; 0 when there is none.
  std::atomic<SDL_AudioDeviceID> live{0};
};

// Never destroyed: the audio thread may still call in while the program exits.
State& S() {
  static State* state = new State;
  return *state;
}

WaveDevice* Find(HWAVEOUT handle) {
  for (auto& d : S().devices) {
    if (d.get() == handle) return d.get();
  }
  return nullptr;
}

bool ValidFormat(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 4000 &&
         f.nSamplesPerSec <= 96000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

std::size_t Frames(const WaveDevice& d, const WAVEHDR* h) {
  return h->dwBufferLength / d.format.nBlockAlign;
}

struct Frame {
  float left;
  float right;
};

Frame SampleAt(const WaveDevice& d, const WAVEHDR* h, std::size_t i) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(h->lpData) + i * d.format.nBlockAlign;
  auto one = [&](int channel) {
    if (d.format.wBitsPerSample == 8) return (float(p[channel]) - 128.0f) / 128.0f;
    const std::uint8_t* s = p + 2 * channel;
    return float(std::int16_t(std::uint16_t(s[0] | (s[1] << 8)))) / 32768.0f;
  };
  float left = one(0);
  return Frame{left, d.format.nChannels == 2 ? one(1) : left};
}

// The frame after frame i of queued buffer b, which may open a later buffer;
// at the end of the queue the last frame holds.
Frame NextSample(const WaveDevice& d, std::size_t b, std::size_t i, const Frame& current) {
  if (i + 1 < Frames(d, d.queue[b])) return SampleAt(d, d.queue[b], i + 1);
  for (std::size_t n = b + 1; n < d.queue.size(); ++n) {
    if (Frames(d, d.queue[n]) > 0) return SampleAt(d, d.queue[n], 0);
  }
  return current;
}

// The frame at `position` in queued buffer b, interpolated towards the next one.
Frame Interpolated(const WaveDevice& d, std::size_t b, double position) {
  auto i = std::size_t(position);
  float frac = float(position - double(i));
  Frame x = SampleAt(d, d.queue[b], i);
  Frame y = NextSample(d, b, i, x);
  return Frame{x.left + (y.left - x.left) * frac, x.right + (y.right - x.right) * frac};
}

void Retire(WaveDevice& d, std::vector<Done>* done) {
  WAVEHDR* h = d.queue.front();
  d.queue.pop_front();
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  done->push_back(Done{&d, d.callback, d.instance, h});
}

void RetireFinished(WaveDevice& d, std::vector<Done>* done) {
  while (!d.queue.empty() && d.position >= double(Frames(d, d.queue.front()))) {
    d.position -= double(Frames(d, d.queue.front()));
    Retire(d, done);
  }
  if (d.queue.empty()) d.position = 0;
}

float Gain(DWORD volume) {
  return float(volume & 0xFFFF) / 65535.0f;
}

// Adds into ahead the `frames` output frames that d would play next as queued
// now, with the mixer's own steps, leaving d as it is.
void PeekAhead(const WaveDevice& d, float gain, double step, float* ahead, int frames) {
  std::size_t b = 0;
  double position = d.position;
  for (int f = 0; f < frames; ++f) {
    while (b < d.queue.size() && position >= double(Frames(d, d.queue[b]))) {
      position -= double(Frames(d, d.queue[b]));
      ++b;
    }
    if (b == d.queue.size()) return;
    Frame v = Interpolated(d, b, position);
    ahead[2 * f] += gain * v.left;
    ahead[2 * f + 1] += gain * v.right;
    position += step;
  }
}

float Peak(const float* frame) {
  return std::max(std::fabs(frame[0]), std::fabs(frame[1]));
}

// Turns down the mixed chunk in out where it, or what follows it within the
// attack, passes full scale. Frames at or below full scale need no gain, so
// without an overlap that loud the chunk stays as it is.
void LimitLocked(float* out, int frames, float master) {
  State& s = S();
  const int lookahead = int(kAttackSeconds * s.rate) + 1;
  s.ahead.assign(2 * std::size_t(lookahead), 0.0f);
  for (auto& d : s.devices) {
    PeekAhead(*d, master * Gain(d->volume), double(d->format.nSamplesPerSec) / double(s.rate), s.ahead.data(),
              lookahead);
  }
  std::vector<float>& limit = s.limit;
  limit.resize(std::size_t(frames + lookahead));
  bool over = false;
  for (int f = 0; f < frames + lookahead; ++f) {
    float peak = Peak(f < frames ? out + 2 * f : s.ahead.data() + 2 * (f - frames));
    limit[std::size_t(f)] = peak > 1.0f ? kCeiling / peak : 1.0f;
    over |= peak > 1.0f;
  }
  if (!over && s.limiterGain == 1.0f) return;

  // Backwards: a gain needed at a frame is reached by a ramp before it.
  const float ramp = 1.0f / float(lookahead);
  for (int f = frames + lookahead - 2; f >= 0; --f) {
    limit[std::size_t(f)] = std::min(limit[std::size_t(f)], limit[std::size_t(f) + 1] + ramp);
  }
  // Forwards: falls as far as a frame needs, rises slowly, up to exactly 1.
  const float release = float(std::exp2(1.0 / (kReleaseSeconds * s.rate)));
  float gain = s.limiterGain;
  for (int f = 0; f < frames; ++f) {
    gain = std::min(limit[std::size_t(f)], gain * release);
    out[2 * f] *= gain;
    out[2 * f + 1] *= gain;
  }
  s.limiterGain = gain;
}

// Mixes every device's next `frames` output frames into out (stereo, interleaved).
void MixLocked(float* out, int frames, std::vector<Done>* done) {
  State& s = S();
  std::fill(out, out + 2 * std::size_t(frames), 0.0f);
  // The handheld sets only the low (left) word of the output volume and means
  // the whole output by it.
  float master = Gain(s.outputVolume);
  for (auto& dp : s.devices) {
    WaveDevice& d = *dp;
    float gain = master * Gain(d.volume);
    double step = double(d.format.nSamplesPerSec) / double(s.rate);
    for (int f = 0; f < frames; ++f) {
      RetireFinished(d, done);
      if (d.queue.empty()) break;
      Frame v = Interpolated(d, 0, d.position);
      out[2 * f] += gain * v.left;
      out[2 * f + 1] += gain * v.right;
      d.position += step;
    }
    // A buffer whose last frame went out in this chunk is done now, not a chunk later.
    RetireFinished(d, done);
  }
  LimitLocked(out, frames, master);
  for (int i = 0; i < 2 * frames; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

void Deliver(const std::vector<Done>& done) {
  for (const Done& d : done) {
    if (d.callback) d.callback(d.device, WOM_DONE, d.instance, reinterpret_cast<DWORD_PTR>(d.header), 0);
  }
}

void MixAndDeliver(float* out, int frames) {
  State& s = S();
  std::lock_guard<std::recursive_mutex> delivery(s.delivery);
  std::vector<Done> done;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    MixLocked(out, frames, &done);
  }
  Deliver(done);
}

#ifdef __EMSCRIPTEN__
// (Before the player's first gesture a resume waits, and fails if the output
// is closed first: nothing to report.)
// clang-format off
EM_JS(void, web_audio_run, (int run), {
  const context = Module.SDL2 && Module.SDL2.audioContext;
  if (!context) return;
  if (run && context.state === 'suspended') context.resume().catch(() => {});
  if (!run && context.state === 'running') context.suspend().catch(() => {});
});
// clang-format on
#endif

// Starts or stops the output that plays. Called with none of our locks held;
// from the audio callback SDL holds its own device lock, which the UI thread's
// start then waits for, so a write never lands between the mixer's last look
// at the queues and the stop.
void RunOutput(bool run) {
  SDL_AudioDeviceID live = S().live.load();
  if (!live) return;
#ifdef __EMSCRIPTEN__
  web_audio_run(run ? 1 : 0);
#else
  SDL_PauseAudioDevice(live, run ? 0 : 1);
#endif
}

bool Idle() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.limiterGain != 1.0f) return false;
  for (auto& d : s.devices)
    if (!d->queue.empty()) return false;
  return true;
}

void SDLCALL AudioCallback(void*, Uint8* stream, int length) {
  MixAndDeliver(reinterpret_cast<float*>(stream), length / int(2 * sizeof(float)));
  if (Idle()) RunOutput(false);
}

// Opens the one SDL output on first use (in a browser, the first write). With
// SDL's dummy driver the output stays paused and tests drive the mixer through
// host::MixForTest.
bool EnsureOutput() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.outputMutex);
  if (s.output) return true;
  if (s.outputFailed) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "melvoria: no audio output (%s); the game stays silent\n", SDL_GetError());
    s.outputFailed = true;
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = kPreferredRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = AudioCallback;
  SDL_AudioSpec have{};
  SDL_AudioDeviceID output = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (!output) {
    std::fprintf(stderr, "melvoria: no audio output (%s); the game stays silent\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.outputFailed = true;
    return false;
  }
  {
    std::lock_guard<std::mutex> state(s.mutex);
    s.rate = have.freq;
  }
  s.output = output;
  const char* driver = SDL_GetCurrentAudioDriver();
  if (!driver || std::strcmp(driver, "dummy") != 0) {
    s.live = output;  // started by the first write
#ifdef __EMSCRIPTEN__
    SDL_PauseAudioDevice(output, 0);  // the audio context is what stops
#endif
  }
  return true;
}

// A device number (0 or the wave mapper) passed where a handle goes.
bool IsOutputNumber(HWAVEOUT device) {
  auto v = reinterpret_cast<std::uintptr_t>(device);
  return v == 0 || v == WAVE_MAPPER;
}

bool IsSmallNumber(HWAVEOUT device) {
  return reinterpret_cast<std::uintptr_t>(device) < 0x10000;
}

}  // namespace

MMRESULT waveOutOpen(HWAVEOUT* result, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
  if (result) *result = nullptr;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (!format) return MMSYSERR_INVALPARAM;
  if (!ValidFormat(*format)) return WAVERR_BADFORMAT;
  DWORD kind = flags & 0x00070000u;
  if (kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION) return MMSYSERR_INVALPARAM;
  if (!result || (kind == CALLBACK_FUNCTION && !callback)) return MMSYSERR_INVALPARAM;
#ifndef __EMSCRIPTEN__
  if (!EnsureOutput()) return MMSYSERR_NODRIVER;
#endif

  auto device = std::make_unique<WaveDevice>();
  device->format = *format;
  device->format.cbSize = 0;
  device->callback = kind == CALLBACK_FUNCTION ? reinterpret_cast<WaveOutProc>(callback) : nullptr;
  device->instance = instance;
  WaveDevice* handle = device.get();
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    device->number = S().nextNumber++;
    S().devices.push_back(std::move(device));
  }
  *result = handle;
  if (handle->callback) handle->callback(handle, WOM_OPEN, instance, 0, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (!Find(device)) return MMSYSERR_INVALHANDLE;
  if (!header || headerSize < kHandheldHeaderSize || (!header->lpData && header->dwBufferLength)) {
    return MMSYSERR_INVALPARAM;
  }
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (!Find(device)) return MMSYSERR_INVALHANDLE;
  if (!header || headerSize < kHandheldHeaderSize) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
#ifdef __EMSCRIPTEN__
  if (!EnsureOutput()) return MMSYSERR_NODRIVER;
#endif
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    WaveDevice* d = Find(device);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < kHandheldHeaderSize) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    d->queue.push_back(header);
    S().writes.push_back(host::WaveEvent{d->number, header, header->dwBufferLength});
  }
  RunOutput(true);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT device) {
  State& s = S();
  std::lock_guard<std::recursive_mutex> delivery(s.delivery);
  std::vector<Done> done;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    WaveDevice* d = Find(device);
    if (!d) return MMSYSERR_INVALHANDLE;
    while (!d->queue.empty()) Retire(*d, &done);
    d->position = 0;
  }
  Deliver(done);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device) {
  State& s = S();
  std::lock_guard<std::recursive_mutex> delivery(s.delivery);
  std::unique_ptr<WaveDevice> closing;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = std::find_if(s.devices.begin(), s.devices.end(), [&](auto& d) { return d.get() == device; });
    if (it == s.devices.end()) return MMSYSERR_INVALHANDLE;
    if (!(*it)->queue.empty()) return WAVERR_STILLPLAYING;
    closing = std::move(*it);
    s.devices.erase(it);
  }
  if (closing->callback) closing->callback(device, WOM_CLOSE, closing->instance, 0, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (IsOutputNumber(device)) {
    S().outputVolume = volume;
    return MMSYSERR_NOERROR;
  }
  if (IsSmallNumber(device)) return MMSYSERR_BADDEVICEID;
  WaveDevice* d = Find(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  d->volume = volume;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (!volume) return MMSYSERR_INVALPARAM;
  if (IsOutputNumber(device)) {
    *volume = S().outputVolume;
    return MMSYSERR_NOERROR;
  }
  if (IsSmallNumber(device)) return MMSYSERR_BADDEVICEID;
  WaveDevice* d = Find(device);
  if (!d) return MMSYSERR_INVALHANDLE;
  *volume = d->volume;
  return MMSYSERR_NOERROR;
}

void WaveShutdown() {
  State& s = S();
  SDL_AudioDeviceID output = 0;
  {
    std::lock_guard<std::mutex> lock(s.outputMutex);
    output = s.output;
    s.output = 0;
    s.outputFailed = false;
    s.live = 0;
  }
  if (output) {
    SDL_CloseAudioDevice(output);  // waits for the audio thread to leave the mixer
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  // Queued buffers go back to their owners as a reset would return them, so
  // the owners can free them; then every device closes.
  std::lock_guard<std::recursive_mutex> delivery(s.delivery);
  std::vector<Done> done;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto& d : s.devices) {
      while (!d->queue.empty()) Retire(*d, &done);
    }
  }
  Deliver(done);
  std::vector<std::unique_ptr<WaveDevice>> closing;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    closing.swap(s.devices);
    s.nextNumber = 1;
    s.writes.clear();
    s.outputVolume = 0xFFFFFFFFu;
    s.rate = kPreferredRate;
    s.limiterGain = 1.0f;
  }
  for (auto& d : closing) {
    if (d->callback) d->callback(d.get(), WOM_CLOSE, d->instance, 0, 0);
  }
}

namespace host {

std::vector<WaveEvent> WaveWrites() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().writes;
}

DWORD WaveOutputVolume() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().outputVolume;
}

int WaveOutputRate() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().rate;
}

bool WaveOutputRunning() {
  SDL_AudioDeviceID live = S().live.load();
  if (!live) return false;
#ifdef __EMSCRIPTEN__
  // clang-format off
  return EM_ASM_INT({
    const context = Module.SDL2 && Module.SDL2.audioContext;
    return context && context.state === 'running' ? 1 : 0;
  }) != 0;
  // clang-format on
#else
  return SDL_GetAudioDeviceStatus(live) == SDL_AUDIO_PLAYING;
#endif
}

std::vector<float> MixForTest(int frames) {
  std::vector<float> out(2 * std::size_t(frames > 0 ? frames : 0));
  if (frames > 0) MixAndDeliver(out.data(), frames);
  return out;
}

}  // namespace host

}  // namespace ce
