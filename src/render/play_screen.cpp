#include "app/screens.h"

void PaintPlayScreen(ce::HWND, ce::HDC) {}
