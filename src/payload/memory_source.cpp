// A payload source over a block of memory: the host tool, the tests and the
// fuzzer read payloads this way. It behaves like a file: a read that cannot
// be served in full fails and leaves the position at the end, and a seek
// may go past the end.
#include <string.h>

#include "payload/source.h"

namespace {

int MemoryRead(void* context, void* buffer, uint32_t count) {
  MemorySource* memory = (MemorySource*)context;
  if (memory->pos >= memory->size) return count == 0 ? 0 : 1;
  uint64_t available = memory->size - memory->pos;
  if (count > available) {
    memory->pos = memory->size;
    return 1;
  }
  if (count) memcpy(buffer, memory->data + memory->pos, count);
  memory->pos += count;
  return 0;
}

uint64_t MemoryGetPos(void* context) { return ((MemorySource*)context)->pos; }

uint64_t MemorySetPos(void* context, uint64_t position) {
  ((MemorySource*)context)->pos = position;
  return position;
}

}  // namespace

PayloadSource MakeMemorySource(MemorySource* memory) {
  PayloadSource source;
  source.read = MemoryRead;
  source.getPos = MemoryGetPos;
  source.setPos = MemorySetPos;
  source.length = memory->size;
  source.context = memory;
  return source;
}
