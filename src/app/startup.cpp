#include "app/screens.h"

void DrawLandscapeNotice(ce::HDC) {}
