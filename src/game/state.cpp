#include "game/state.h"

#include "render/scale.h"
#include "store/game_status.h"

EngineState engine;
RenderRequests requests;

LogicalRect UpArrowRow() {
  return {engine.boardX, engine.boardY - 15, engine.boardX + 210, engine.boardY};
}
LogicalRect DownArrowRow() {
  return {engine.boardX, engine.boardY + 136, engine.boardX + 210, engine.boardY + 151};
}
LogicalRect BoardRect() {
  return {engine.boardX, engine.boardY, engine.boardX + 210, engine.boardY + 135};
}
LogicalRect UpArrowRect(int reel) {
  std::int32_t x = engine.boardX + 42 * reel;
  return {x, engine.boardY - 15, x + 42, engine.boardY};
}
LogicalRect DownArrowRect(int reel) {
  std::int32_t x = engine.boardX + 42 * reel;
  return {x, engine.boardY + 136, x + 42, engine.boardY + 151};
}

void InvalidateLogical(ce::HWND window, const LogicalRect& r) {
  InvalidateLogical(window, r.left, r.top, r.right, r.bottom);
}

std::int32_t& BoardValue(int cell) {
  return gameStatus.reelStrip[cell % kReels][kTopRowPosition + cell / kReels];
}

bool AllReelsIdle() {
  for (std::int32_t m : gameStatus.reelMotion)
    if (m != ReelIdle) return false;
  return true;
}
