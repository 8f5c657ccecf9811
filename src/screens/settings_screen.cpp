#include "app/screens.h"

void PaintSettings(ce::HWND, ce::HDC) {}
