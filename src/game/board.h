// A game's board and life cycle: the random source, the new-game reset, starting
// a game from the menu, the opening spin and the continuation of a stored game.
#pragma once

#include <cstdint>

#include "platform/device.h"

// 0 .. n-1 from the platform's next 15-bit random value: (r x n) div 32768.
std::int32_t RandomBelow(std::int32_t n);

void ResetGame();
void StartGame(ce::HWND window, std::int32_t mode);
void BeginNewGame();
void ContinueGame(ce::HWND window);
