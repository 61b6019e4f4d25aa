#include "payload/memory.h"
#include "payload/memory_hook.h"

namespace memhook {

long liveBlocks = 0;
static long failCountdown = 0;

bool ShouldFail() {
  if (failCountdown <= 0) return false;
  return --failCountdown == 0;
}

}  // namespace memhook

long MemLiveBlocks() { return memhook::liveBlocks; }

void MemFailAfter(long allocations) { memhook::failCountdown = allocations < 0 ? 0 : allocations; }
