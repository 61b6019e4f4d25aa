// The extension library carried in the payload: loading, the calls at the
// fixed points of the run, and the unload at the end. Without a library every
// call yields its default.
#pragma once
#include <stdint.h>

// Loads the library from the held blob, if any, and calls EXT_LOADED. A
// content above 260 bytes is a library image, written to "tmp%d.tmp" in the
// temporary folder first; up to 260 bytes it is the library's path.
void LoadExtensionLibrary();

// The entry point's result, or defaultResult when no library is loaded or it
// lacks that ordinal.
int CallExtension(int ordinal, void* argument, int defaultResult);

// EXT_UNLOADING, FreeLibrary, and deletion of the temporary library file this
// run created. Safe to call when nothing was loaded.
void UnloadExtensionLibrary();

// Whether a library is loaded now.
bool IsExtensionLoaded();

// Called, when set, between writing an image to its temporary file and
// taking hold of that file for the load: the tests stand in there for a
// program that swaps the file.
extern void (*extensionImageWritten)(const wchar_t* path);

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

// The interface handed to every entry point. Libraries are built by other
// compilers against this binary shape: an object whose only member points
// to a table of three member functions in this order, with the platform's
// member-function convention (thiscall on i686: the object in ECX, the
// callee pops the arguments). g++ lays out a class with these three
// virtual functions, and no virtual destructor (which would add two slots),
// exactly so.
class ExtensionCallbacks {
 public:
  // The folder-macro expansion, with its size-query contract: returns the
  // full length; dst (count units) receives min(length + 1, count) units.
  virtual int ExpandFolderMacros(wchar_t* dst, const wchar_t* src, int count);
  // The message of the table (slot, index), or an empty text; never null.
  virtual const wchar_t* GetMessageText(int slot, int index);
  virtual void Reserved(uint32_t, uint32_t, uint32_t);
};

// The one instance of the run.
extern ExtensionCallbacks extensionCallbacks;
