#include "app/screens.h"

void PaintHiScores(ce::HWND, ce::HDC) {}
void PaintNewHiScore(ce::HWND, ce::HDC) {}

ce::LRESULT NewHiScoreCommand(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  return ce::DefWindowProcW(window, message, wParam, lParam);
}
