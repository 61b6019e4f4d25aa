// Where the chunk walk reads from. retrax.exe reads its own file through the
// file-handle operations; the host tool, the tests and the fuzzer read memory
// or a host file. One reader implementation serves all of them.
#pragma once
#include <stdint.h>

struct PayloadSource {
  // 0 when exactly count bytes were delivered, else 1 (short reads included).
  int (*read)(void* context, void* buffer, uint32_t count);
  // Current 64-bit position.
  uint64_t (*getPos)(void* context);
  // Moves to a 64-bit position from the start; returns the new position.
  uint64_t (*setPos)(void* context, uint64_t position);
  // Total length of the file, for the chunk bounds checks.
  uint64_t length;
  void* context;
};

// A source over a block of memory (no copy; the block must outlive it).
struct MemorySource {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
};
PayloadSource MakeMemorySource(MemorySource* memory);
