// The player's fourteen commands: reel moves, "Spin All", MAKE SCORE and the bet keys.
#pragma once

#include <cstdint>

#include "platform/device.h"

// A press when buttonPressed is 1, the release when it is 0. A command that is not
// allowed now does nothing but become lastCommand.
void ExecuteCommand(ce::HWND window, std::int32_t command);
