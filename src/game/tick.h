// The game tick, the meters, the score transfer, the Melvoria penalties and the
// game-over sequence.
#pragma once

#include "platform/device.h"

void GameTick(ce::HWND window);
void MeterTick(ce::HWND window);
// One step of moving won points into the score; run by the play screen's meter redraw.
void TransferScore(ce::HWND window);
void ApplyMovePenalty();
// Run by the play screen's paint when the BET UP bonus asks for it.
void RefillBlankCells();
void StepGameOver(ce::HWND window);
