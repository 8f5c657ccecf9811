#include "app/screens.h"

void MenuPointerDown(ce::HWND, int, int) {}
void MenuPointerMove(ce::HWND, int, int) {}
void MenuPointerUp(ce::HWND, int, int) {}
void MenuKeyUp(ce::UINT, ce::HWND) {}
