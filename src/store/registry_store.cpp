#include "store/registry_store.h"

void LoadStore() {}
void SaveStore() {}
