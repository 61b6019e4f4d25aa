// File removal phase. Nothing is removed yet: the phase walks no entries.
#include "removal/removal.h"

bool AnyProgramRunning() { return false; }

void RemoveFiles() {}
