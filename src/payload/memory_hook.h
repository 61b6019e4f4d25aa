// Bookkeeping shared by the host and Windows memory operations: the live
// block count of the leak checks and the armed failure of MemFailAfter.
#pragma once

namespace memhook {

extern long liveBlocks;

// True when this allocation is the one MemFailAfter armed; it then fails
// both its tries, and the hook disarms itself.
bool ShouldFail();

}  // namespace memhook
