#include "payload/extension_host.h"

#include <windows.h>

#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "platform/system_calls.h"

namespace {

typedef int(WINAPI* ExtensionEntry)(ExtensionCallbacks* callbacks, void* argument);

HMODULE library = nullptr;
// The temporary file of an image, a 260-unit block, and whether this run
// created the file it names: a name that was only tried belongs to someone
// else and is never deleted.
RxChar* tempPath = nullptr;
bool tempFileCreated = false;

// Compares the file, from its start, with the image that was written to it.
bool HoldsImage(HANDLE file, const uint8_t* image, uint32_t length) {
  if (GetFileLength(file) != length) return false;
  uint8_t chunk[4096];
  for (uint32_t at = 0; at < length;) {
    uint32_t count = length - at < sizeof chunk ? length - at : (uint32_t)sizeof chunk;
    if (ReadBlock(file, chunk, count) != 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
      if (chunk[i] != image[at + i]) return false;
    }
    at += count;
  }
  return true;
}

// Writes the image to a new numbered file in the temporary folder, in
// tempPath, and returns a handle that keeps it as written until the library
// is loaded from it, or the invalid handle.
//
// This process runs elevated and the temporary folder is the user's, so any
// program of the user could swap the file before it is loaded. The name is
// created, never opened (CREATE_NEW), and nobody may write or delete it
// while it is written. The writing handle cannot stay open for the load:
// the loader opens the file sharing only reading and deleting, which a
// handle with write access refuses. So the file is reopened for reading
// only, sharing reading only (the loader's own open is still let in), and
// compared with the image; from then on it cannot change under us, and once
// mapped as an image, Windows refuses to write or delete it anyway.
HANDLE WriteLibraryImage(const uint8_t* image, uint32_t length) {
  HANDLE file = CreateNumberedTempFile(tempPath, L"tmp%d.tmp", CREATE_NEW, FILE_SHARE_READ);
  if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  tempFileCreated = true;
  const int written = WriteBlock(file, image, length);
  CloseFileHandle(file);
  if (written != 0) return INVALID_HANDLE_VALUE;
  if (extensionImageWritten != nullptr) extensionImageWritten(tempPath);
  HANDLE guard = OpenExistingFile(tempPath, GENERIC_READ);
  if (guard == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  if (!HoldsImage(guard, image, length)) {
    CloseFileHandle(guard);
    return INVALID_HANDLE_VALUE;
  }
  return guard;
}

}  // namespace

ExtensionCallbacks extensionCallbacks;
void (*extensionImageWritten)(const wchar_t* path) = nullptr;

int ExtensionCallbacks::ExpandFolderMacros(wchar_t* dst, const wchar_t* src, int count) {
  // A negative capacity is no room at all, never "unbounded".
  return (int)::ExpandFolderMacros(dst, src, count > 0 ? (uint32_t)count : 0);
}

const wchar_t* ExtensionCallbacks::GetMessageText(int slot, int index) {
  return LookupMessage(&uninstallData, slot, index);
}

void ExtensionCallbacks::Reserved(uint32_t, uint32_t, uint32_t) {}

void LoadExtensionLibrary() {
  if (library != nullptr || uninstallData.extensionBlob == nullptr) return;
  const RxChar* path = nullptr;
  HANDLE guard = INVALID_HANDLE_VALUE;
  if (uninstallData.extensionLength > EXT_PATH_MAX_BYTES) {
    if (tempPath == nullptr && !MemAllocZeroed(RX_MAX_PATH * sizeof(RxChar), &tempPath)) return;
    guard = WriteLibraryImage(uninstallData.extensionBlob, uninstallData.extensionLength);
    // The image is on disk (or cannot be put there); it is not needed again.
    MemRelease(&uninstallData.extensionBlob);
    uninstallData.extensionLength = 0;
    if (!tempFileCreated) MemRelease(&tempPath);
    if (guard == INVALID_HANDLE_VALUE) return;
    path = tempPath;
  } else {
    // The reader has checked that the path ends inside the content.
    path = (const RxChar*)uninstallData.extensionBlob;
  }
  // A library named by the payload's path sits in a folder of its
  // installer's making, with its DLLs beside it, so that folder is searched
  // too. An image is not: it comes alone, and its folder is the user's
  // temporary folder, where any program of the user could leave a DLL of a
  // name it imports for this elevated process to load. (A relative path
  // has no folder of its own to speak of: the plain search.)
  HMODULE loaded = LoadLibraryByPath(path, guard == INVALID_HANDLE_VALUE && IsAbsolutePath(path));
  if (guard != INVALID_HANDLE_VALUE) CloseFileHandle(guard);
  if ((uintptr_t)loaded < 32) return;
  library = loaded;
  CallExtension(EXT_LOADED, nullptr, 1);
}

int CallExtension(int ordinal, void* argument, int defaultResult) {
  if (library == nullptr) return defaultResult;
  ExtensionEntry entry = (ExtensionEntry)(void*)GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
  if (entry == nullptr) return defaultResult;
  return entry(&extensionCallbacks, argument);
}

void UnloadExtensionLibrary() {
  if (library != nullptr) {
    CallExtension(EXT_UNLOADING, nullptr, 1);
    FreeLibrary(library);
    library = nullptr;
  }
  if (tempPath != nullptr) {
    if (tempFileCreated) sys.DeleteFileW(tempPath);
    MemRelease(&tempPath);
  }
  tempFileCreated = false;
}

bool IsExtensionLoaded() { return library != nullptr; }
