// Registry phase. Nothing is removed yet.
#include "removal/removal.h"

void RemoveRegistryEntries() {}
