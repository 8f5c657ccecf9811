#include "app/screens.h"

void PaintMainMenu(ce::HWND, ce::HDC) {}
