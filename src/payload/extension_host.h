// The extension library carried in the payload: loading, the calls at the
// fixed points of the run, and the unload at the end. Without a library every
// call yields its default.
#pragma once
#include <stdint.h>

// Loads the library from the held blob, if any, and calls EXT_LOADED.
void LoadExtensionLibrary();

// The entry point's result, or defaultResult when no library is loaded or it
// lacks that ordinal.
int CallExtension(int ordinal, void* argument, int defaultResult);

// EXT_UNLOADING, FreeLibrary, and deletion of the temporary library file.
void UnloadExtensionLibrary();

// Argument of EXT_FILE: the full path in workPath, which the library may
// rewrite in place within capacity units.
struct ExtensionFileInfo {
  wchar_t* path;
  uint32_t capacity;
};

// Argument of EXT_REGISTRY_ENTRY.
struct ExtensionRegistryInfo {
  uint32_t root;
  const wchar_t* path;
};
