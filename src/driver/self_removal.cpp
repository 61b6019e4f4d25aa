// Self-removal. Not yet active: the uninstaller stays in place.
#include "driver/launch.h"

bool RemoveSelf() { return false; }
