#include "sound/sound_bank.h"

#include <cstring>

#include "game/state.h"
#include "store/game_status.h"

SoundBank soundBank;

namespace {

std::uint16_t Read16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t Read32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

constexpr std::uint32_t kSamplesStart = 44;
// Every sound but the first leaves out its last 1200 bytes.
constexpr std::uint32_t kLeftOut = 1200;

}  // namespace

int SoundForEvent(int event, std::int32_t comboLevel) {
  switch (event) {
    case 1:
      return 6;
    case 2:
      return 12;
    case 3:
      return 3;
    case 4:
      return 1;
    case 5:
      return 2;
    case 6:
      return 4;
    case 7:
      return comboLevel >= 1 && comboLevel <= 5 ? 6 + comboLevel : 0;
    case 8:
      return 6;
    case 9:
      return 5;
    default:
      return 0;
  }
}

void LoadSound(SoundRecord* record, int resourceId) {
  ce::HMODULE module = ce::GetModuleHandleW(nullptr);
  ce::HRSRC res = ce::FindResourceW(module, ce::MAKEINTRESOURCEW(resourceId), u"WAVE");
  record->size = ce::SizeofResource(module, res);
  record->data = std::make_unique<std::uint8_t[]>(record->size);
  const void* bytes = ce::LockResource(ce::LoadResource(module, res));
  if (bytes != nullptr && record->size > 0) std::memcpy(record->data.get(), bytes, record->size);
  record->format = ce::WAVEFORMATEX{};
  // A resource too short to hold a format chunk keeps an empty format.
  if (record->size >= kSamplesStart) {
    const std::uint8_t* d = record->data.get();
    record->format.wFormatTag = Read16(d + 20);
    record->format.nChannels = Read16(d + 22);
    record->format.nSamplesPerSec = Read32(d + 24);
    record->format.nAvgBytesPerSec = Read32(d + 28);
    record->format.nBlockAlign = Read16(d + 32);
    record->format.wBitsPerSample = Read16(d + 34);
  }
}

void OpenSoundDevice(SoundRecord* record, int id) {
  if (id < 1 || id > kSounds) return;
  ce::HWAVEOUT device = nullptr;
  if (ce::waveOutOpen(&device, ce::WAVE_MAPPER, &record->format, reinterpret_cast<ce::DWORD_PTR>(&SoundDone),
                      0, ce::CALLBACK_FUNCTION) != ce::MMSYSERR_NOERROR)
    device = nullptr;
  soundBank.devices[std::size_t(id)] = device;
}

void PlaySoundRecord(SoundRecord* record, int id) {
  if (id < 1 || id > kSounds) return;
  std::uint32_t tail = kSamplesStart + (id == 1 ? 0 : kLeftOut);
  // A record shorter than what the length rule leaves out has nothing to play.
  if (record->data == nullptr || record->size <= tail) return;
  ce::HWAVEOUT device = soundBank.devices[std::size_t(id)];
  if (device == nullptr) return;  // never opened: the prepare step would fail

  auto header = std::make_unique<ce::WAVEHDR>();
  header->lpData = reinterpret_cast<char*>(record->data.get() + kSamplesStart);
  header->dwBufferLength = record->size - tail;
  if (ce::waveOutPrepareHeader(device, header.get(), sizeof(ce::WAVEHDR)) != ce::MMSYSERR_NOERROR) return;
  if (ce::waveOutWrite(device, header.get(), sizeof(ce::WAVEHDR)) != ce::MMSYSERR_NOERROR) {
    ce::waveOutUnprepareHeader(device, header.get(), sizeof(ce::WAVEHDR));
    return;
  }
  header.release();  // the device owns it until SoundDone
}

void SoundDone(ce::HWAVEOUT device, ce::UINT message, ce::DWORD_PTR, ce::DWORD_PTR param1, ce::DWORD_PTR) {
  if (message != ce::WOM_DONE) return;
  auto* header = reinterpret_cast<ce::WAVEHDR*>(param1);
  ce::waveOutUnprepareHeader(device, header, sizeof(ce::WAVEHDR));
  delete header;
}

void PlaySoundEvent(int event) {
  if (gameStatus.soundOn != 1) return;
  int id = SoundForEvent(event, engine.comboLevel);
  if (id == 0) return;
  PlaySoundRecord(&soundBank.records[std::size_t(id)], id);
}

void ApplyVolume() {
  // A damaged store may hold any volume; out of 0..100 the word would not fit.
  std::int32_t v = gameStatus.volume;
  if (v < 0) v = 0;
  if (v > 100) v = 100;
  auto word = static_cast<ce::DWORD>(v * 655.35);
  ce::waveOutSetVolume(reinterpret_cast<ce::HWAVEOUT>(std::uintptr_t{0}), word & 0xFFFF);
}

void LoadSoundBank() {
  for (int id = 1; id <= kSounds; ++id)
    LoadSound(&soundBank.records[std::size_t(id)], kSoundResource[std::size_t(id)]);
  for (int id = 1; id <= kSounds; ++id) OpenSoundDevice(&soundBank.records[std::size_t(id)], id);
}

void CloseSoundDevices() {
  for (int id = 1; id <= kSounds; ++id) {
    ce::HWAVEOUT& device = soundBank.devices[std::size_t(id)];
    if (device == nullptr) continue;
    ce::waveOutClose(device);
    device = nullptr;
  }
}
