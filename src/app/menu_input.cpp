#include "app/screens.h"

std::int32_t keyCursor = 0;
std::int32_t cursorMark = 0;

void MenuPointerDown(ce::HWND, int, int) {}
void MenuPointerMove(ce::HWND, int, int) {}
void MenuPointerUp(ce::HWND, int, int) {}
void MenuKeyUp(ce::UINT, ce::HWND) {}
