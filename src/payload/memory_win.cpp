// Memory operations on Windows: blocks of the process heap. When an
// allocation fails, the heap is compacted (coalescing free blocks and
// decommitting free pages) and the allocation is tried exactly once more.
#include <windows.h>

#include "payload/memory.h"
#include "payload/memory_hook.h"

namespace {

void CompactHeap() { HeapCompact(GetProcessHeap(), 0); }

void* TryAlloc(size_t size, DWORD flags) {
  if (memhook::ShouldFail()) return nullptr;
  HANDLE heap = GetProcessHeap();
  void* block = HeapAlloc(heap, flags, size);
  if (!block) {
    CompactHeap();
    block = HeapAlloc(heap, flags, size);
  }
  return block;
}

}  // namespace

bool MemAllocBytes(size_t size, void** ref) {
  *ref = TryAlloc(size, 0);
  if (!*ref) return false;
  ++memhook::liveBlocks;
  return true;
}

bool MemAllocZeroedBytes(size_t size, void** ref) {
  *ref = TryAlloc(size, HEAP_ZERO_MEMORY);
  if (!*ref) return false;
  ++memhook::liveBlocks;
  return true;
}

bool MemResizeBytes(size_t size, void** ref) {
  // HeapReAlloc does not accept a null block.
  if (!*ref) return MemAllocBytes(size, ref);
  if (memhook::ShouldFail()) return false;
  HANDLE heap = GetProcessHeap();
  void* block = HeapReAlloc(heap, 0, *ref, size);
  if (!block) {
    CompactHeap();
    block = HeapReAlloc(heap, 0, *ref, size);
  }
  if (!block) return false;  // the old block stays valid and owned by *ref
  *ref = block;
  return true;
}

void MemReleaseBytes(void** ref) {
  if (!*ref) return;
  HeapFree(GetProcessHeap(), 0, *ref);
  *ref = nullptr;
  --memhook::liveBlocks;
}
