#include "store/game_status.h"

GameStatus gameStatus{};
