// Heap blocks for the payload data, the run's buffers and the messages.
// Every allocation is retried once after the heap has been compacted.
// Implemented for Windows (process heap) and for the host (malloc).
#pragma once
#include <stddef.h>
#include <stdint.h>

bool MemAllocZeroedBytes(size_t size, void** ref);
bool MemAllocBytes(size_t size, void** ref);
// On failure *ref keeps the old block and the result is false.
bool MemResizeBytes(size_t size, void** ref);
void MemReleaseBytes(void** ref);

// Blocks allocated and not yet released in this process: the leak check of
// the tests asserts zero after a run has been torn down.
long MemLiveBlocks();

// Test hook: make the Nth allocation from now fail (both tries); 0 disarms.
void MemFailAfter(long allocations);

// Typed forms: MemAllocZeroed(size, &block) for any block pointer type.
template <typename T>
inline bool MemAllocZeroed(size_t size, T** ref) {
  return MemAllocZeroedBytes(size, (void**)ref);
}
template <typename T>
inline bool MemAlloc(size_t size, T** ref) {
  return MemAllocBytes(size, (void**)ref);
}
template <typename T>
inline bool MemResize(size_t size, T** ref) {
  return MemResizeBytes(size, (void**)ref);
}
template <typename T>
inline void MemRelease(T** ref) {
  MemReleaseBytes((void**)ref);
}
