// The twelve sound effects: each copied from its WAVE resource at start-up and
// given its own wave output device; the engine asks for them by event.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/device.h"

struct SoundRecord {
  std::unique_ptr<std::uint8_t[]> data;  // the whole WAVE resource, header included
  std::uint32_t size = 0;
  ce::WAVEFORMATEX format{};
};

constexpr int kSounds = 12;

// Records and device handles indexed by SoundId 1..12; index 0 is unused.
struct SoundBank {
  std::array<SoundRecord, kSounds + 1> records;
  std::array<ce::HWAVEOUT, kSounds + 1> devices{};
};
extern SoundBank soundBank;

// The WAVE resource of each SoundId, in loading order.
constexpr std::array<int, kSounds + 1> kSoundResource = {0,   443, 444, 442, 445, 441, 446,
                                                         447, 448, 449, 450, 451, 452};

// Sound events: 1 bet key, 2 reel move, 3 game over, 4 BET UP, 5 score transfer step,
// 6 MAKE SCORE, 7 group found (by comboLevel), 8 end of a reel's spin, 9 spin start.
// The SoundId an event plays, 0 for none.
int SoundForEvent(int event, std::int32_t comboLevel);

void LoadSound(SoundRecord* record, int resourceId);
void OpenSoundDevice(SoundRecord* record, int id);
void PlaySoundRecord(SoundRecord* record, int id);
void SoundDone(ce::HWAVEOUT device, ce::UINT message, ce::DWORD_PTR instance, ce::DWORD_PTR param1,
               ce::DWORD_PTR param2);
void PlaySoundEvent(int event);
void ApplyVolume();

// Start-up: all twelve loaded, then all twelve devices opened.
void LoadSoundBank();
// The main menu's exit: the twelve devices closed in SoundId order.
void CloseSoundDevices();
