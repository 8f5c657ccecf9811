#include "app/shell_state.h"

Shell shell{};
