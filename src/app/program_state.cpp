#include "app/program_state.h"

#include "app/screens.h"
#include "app/shell_state.h"
#include "game/state.h"
#include "render/draw.h"
#include "render/play_screen.h"
#include "render/scale.h"
#include "screens/menu_layout.h"
#include "sound/sound_bank.h"
#include "store/game_status.h"
#include "store/hiscores.h"

void ResetProgramState() {
  ReleasePlaySurfaces();
  FreeBitmapSlots();
  soundBank = SoundBank{};
  gameStatus = GameStatus{};
  for (HiScoreTable& table : hiScoreTables) table = HiScoreTable{};
  engine = EngineState{};
  requests = RenderRequests{};
  shell = Shell{};
  display = Display{};
  menuLayout = MenuLayout{};
  keyCursor = 0;
  cursorMark = 0;
  topAreaDirty = 0;
}
