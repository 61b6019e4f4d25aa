// Shared by the launch and self-removal scenarios.
#pragma once
#include "harness/harness.h"

namespace launch_support {
using harness::FinishAnswering;
}  // namespace launch_support
