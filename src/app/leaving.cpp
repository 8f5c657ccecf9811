#include "app/leaving.h"

#include "app/shell_state.h"
#include "game/state.h"
#include "screens/hiscore_screen.h"
#include "store/game_status.h"
#include "store/registry_store.h"

bool StoreForLater() {
  // A game is kept exactly while the play screen shows it running (a stored
  // game not yet resumed by its first paint is running too).
  const bool gameGoesOn = shell.ScreenState == Play && engine.gamePhase == Running;
  const std::int32_t mode = gameStatus.gameMode;
  if (!gameGoesOn) gameStatus.gameMode = NoGame;
  const ce::LONG error = WriteStore();
  gameStatus.gameMode = mode;
  if (error != ce::ERROR_SUCCESS) LogStoreFailure(error);
  return error == ce::ERROR_SUCCESS;
}

void StoreBeforeClosing(ce::HWND window) {
  if (shell.ScreenState == NewHiScore) EnterNameOnClosing(window);
  StoreForLater();
}
