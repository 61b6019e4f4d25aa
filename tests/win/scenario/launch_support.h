// Shared by the launch and self-removal scenarios.
#pragma once
#include "harness/harness.h"

namespace launch_support {

// Answers every box and dialog of the run with OK (Cancel where there is
// no OK) until the program ends, then finishes it.
inline harness::RunResult FinishAnswering(harness::Process* process, DWORD timeoutMs = 30000) {
  return harness::FinishAnswering(process, timeoutMs);
}

}  // namespace launch_support
