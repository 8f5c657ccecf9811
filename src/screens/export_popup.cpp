#include "app/screens.h"

void PaintExportCode(ce::HWND, ce::HDC) {}
