// Memory operations on the host: malloc has no heap to compact, so the
// single retry simply tries again.
#include <stdlib.h>
#include <string.h>

#include "payload/memory.h"
#include "payload/memory_hook.h"

namespace {

// malloc(0) may return null; a zero-length block is still a block here, as
// it is with HeapAlloc.
size_t NonZero(size_t size) { return size ? size : 1; }

void* TryAlloc(size_t size) {
  if (memhook::ShouldFail()) return nullptr;
  void* block = malloc(NonZero(size));
  if (!block) block = malloc(NonZero(size));
  return block;
}

}  // namespace

bool MemAllocBytes(size_t size, void** ref) {
  *ref = TryAlloc(size);
  if (!*ref) return false;
  ++memhook::liveBlocks;
  return true;
}

bool MemAllocZeroedBytes(size_t size, void** ref) {
  if (!MemAllocBytes(size, ref)) return false;
  memset(*ref, 0, size);
  return true;
}

bool MemResizeBytes(size_t size, void** ref) {
  if (!*ref) return MemAllocBytes(size, ref);
  if (memhook::ShouldFail()) return false;
  void* block = realloc(*ref, NonZero(size));
  if (!block) block = realloc(*ref, NonZero(size));
  if (!block) return false;
  *ref = block;
  return true;
}

void MemReleaseBytes(void** ref) {
  if (!*ref) return;
  free(*ref);
  *ref = nullptr;
  --memhook::liveBlocks;
}
