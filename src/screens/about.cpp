#include "app/screens.h"

void PaintAbout(ce::HWND, ce::HDC) {}
