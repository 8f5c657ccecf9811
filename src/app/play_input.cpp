#include "app/screens.h"

void PlayPointerDown(ce::HWND, int, int) {}
void PlayPointerMove(ce::HWND, int, int) {}
void PlayPointerUp(ce::HWND, int, int) {}
void PlayKeyUp(ce::UINT, ce::HWND) {}
