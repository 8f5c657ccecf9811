#include "store/registry_store.h"

#include "app/shell_state.h"
#include "game/state.h"
#include "platform/device.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

namespace {

struct StoredValue {
  const char16_t* name;
  void* image;
  ce::DWORD size;
};

// Reading and writing order.
const StoredValue kValues[] = {
    {u"Prefs", &hiScoreTables[0], sizeof(HiScoreTable)},
    {u"GameStatus", &gameStatus, sizeof(GameStatus)},
    {u"PrefsHard", &hiScoreTables[1], sizeof(HiScoreTable)},
    {u"PrefsMelvoria", &hiScoreTables[2], sizeof(HiScoreTable)},
};

// The key, created when missing; null (after telling the player) when it cannot be had.
ce::HKEY OpenStoreKey() {
  ce::HKEY key = nullptr;
  ce::DWORD disposition = 0;
  char16_t noClass[1] = {0};
  if (ce::RegCreateKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, noClass, 0, ce::KEY_ALL_ACCESS, nullptr, &key,
                          &disposition) != ce::ERROR_SUCCESS) {
    ce::MessageBoxW(nullptr, u"Cannot read values", u"Melvoria", ce::MB_OK);
    return nullptr;
  }
  return key;
}

void ApplyFirstRunDefaults() {
  GameStatus& g = gameStatus;
  g.reserved0 = 0;
  g.unusedWord4 = 0;
  g.reserved12 = 0;
  g.volume = 80;
  g.helpEnabled = 1;
  g.soundOn = 1;
  g.gameSpeed = 1;
  g.joystickControl = 0;
  g.unusedByte46 = 0;
  g.gameMode = 0;
  g.initialised = 1;
  ResetHiScores();
  for (HiScoreTable& t : hiScoreTables) t.lastEntry = 4;
}

}  // namespace

void LoadStore() {
  if (ce::HKEY key = OpenStoreKey()) {
    for (const StoredValue& v : kValues) {
      ce::DWORD size = v.size;
      ce::LONG result =
          ce::RegQueryValueExW(key, v.name, nullptr, nullptr, static_cast<ce::BYTE*>(v.image), &size);
      // A cut-off record keeps its settings, but the game in it lacks its board: not resumed.
      if (v.image == &gameStatus && result == ce::ERROR_SUCCESS && size < v.size) gameStatus.gameMode = 0;
    }
    ce::RegCloseKey(key);
  }
  if (gameStatus.initialised == 0) ApplyFirstRunDefaults();
  // lastEntry picks the row the hi-score screen marks.
  RepairHiScoreTables();

  ApplyVolume();

  shell.BackgroundReady = 0;
  switch (gameStatus.gameMode) {
    case 0:
      shell.ScreenState = MainMenu;
      break;
    case Easy:
    case Hard:
    case Melvoria:
      shell.ScreenState = Play;
      engine.gamePhase = Running;
      engine.resumePending = 1;
      break;
    default:
      break;
  }
}

void SaveStore() {
  ce::HKEY key = OpenStoreKey();
  if (key == nullptr) return;
  for (const StoredValue& v : kValues)
    ce::RegSetValueExW(key, v.name, 0, ce::REG_BINARY, static_cast<const ce::BYTE*>(v.image), v.size);
  ce::RegCloseKey(key);
}
