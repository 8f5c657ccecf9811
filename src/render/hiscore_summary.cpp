#include "app/screens.h"

void DrawHiScoreSummary(ce::HDC) {}
