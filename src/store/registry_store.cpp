#include "store/registry_store.h"

#include <string>

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

// The key, created when missing; null with the error when it cannot be had.
ce::HKEY OpenStoreKey(ce::LONG* error) {
  ce::HKEY key = nullptr;
  ce::DWORD disposition = 0;
  char16_t noClass[1] = {0};
  *error = ce::RegCreateKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, noClass, 0, ce::KEY_ALL_ACCESS, nullptr,
                               &key, &disposition);
  return *error == ce::ERROR_SUCCESS ? key : nullptr;
}

// A key the program may not write (a read-only folder or disk) is still read:
// a stored game in it is resumed, though it cannot be stored again.
ce::HKEY OpenStoreKeyToRead(bool* readOnly) {
  *readOnly = false;
  ce::LONG error = ce::ERROR_SUCCESS;
  if (ce::HKEY key = OpenStoreKey(&error)) return key;
  ce::HKEY key = nullptr;
  if (error == ce::ERROR_ACCESS_DENIED &&
      ce::RegOpenKeyExW(ce::HKEY_CURRENT_USER, kStoreKey, 0, ce::KEY_READ, &key) == ce::ERROR_SUCCESS) {
    *readOnly = true;
    return key;
  }
  return nullptr;
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
  bool readOnly = false;
  ce::HKEY key = OpenStoreKeyToRead(&readOnly);
  const bool opened = key != nullptr;
  if (opened) {
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

  // Told once all is read and chosen: the system may close the program while a box is up.
  if (!opened) {
    ce::MessageBoxW(nullptr, u"Cannot read values", u"Melvoria", ce::MB_OK);
  } else if (readOnly) {
    constexpr const char16_t* kReadOnly =
        u"The saved game can be read but not written: nothing will be saved.";
    ce::OutputDebugStringW((std::u16string(u"melvoria: ") + kReadOnly + u"\n").c_str());
    ce::MessageBoxW(nullptr, kReadOnly, u"Melvoria", ce::MB_OK | ce::MB_ICONEXCLAMATION);
    shell.storeReadOnlyTold = 1;
  }
}

ce::LONG WriteStore() {
  ce::LONG error = ce::ERROR_SUCCESS;
  ce::HKEY key = OpenStoreKey(&error);
  if (key == nullptr) return error;
  for (const StoredValue& v : kValues) {
    const ce::LONG result =
        ce::RegSetValueExW(key, v.name, 0, ce::REG_BINARY, static_cast<const ce::BYTE*>(v.image), v.size);
    if (error == ce::ERROR_SUCCESS) error = result;
  }
  ce::RegCloseKey(key);
  return error;
}

std::u16string StoreFailureReason(ce::LONG error) {
  switch (error) {
    case ce::ERROR_DISK_FULL:
      return u"the disk is full.";
    case ce::ERROR_ACCESS_DENIED:
      return u"the data folder cannot be written.";
    case ce::ERROR_PATH_NOT_FOUND:
      return u"the data folder cannot be made (a file stands in its way).";
    case ce::ERROR_WRITE_FAULT:
      return u"the disk could not be written.";
    default: {
      std::u16string number;
      for (char c : std::to_string(error)) number += char16_t(c);
      return u"registry error " + number + u".";
    }
  }
}

void LogStoreFailure(ce::LONG error) {
  ce::OutputDebugStringW(
      (u"melvoria: the game could not be saved: " + StoreFailureReason(error) + u"\n").c_str());
}

bool SaveStore() {
  const ce::LONG error = WriteStore();
  if (error == ce::ERROR_SUCCESS) return true;
  LogStoreFailure(error);
  // Told at start-up that nothing can be saved: not told again on leaving.
  if (shell.storeReadOnlyTold == 0)
    ce::MessageBoxW(shell.mainWindow, (u"The game could not be saved: " + StoreFailureReason(error)).c_str(),
                    u"Melvoria", ce::MB_OK | ce::MB_ICONEXCLAMATION);
  return false;
}
