// The registry store: settings, the stored game and the hi-score tables.
#pragma once

void LoadStore();
void SaveStore();
