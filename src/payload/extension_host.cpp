// Extension host without loading: every entry point yields its default.
#include "payload/extension_host.h"

void LoadExtensionLibrary() {}

int CallExtension(int, void*, int defaultResult) { return defaultResult; }

void UnloadExtensionLibrary() {}
