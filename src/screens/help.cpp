#include "app/screens.h"

void PaintHelp(ce::HWND, ce::HDC) {}
