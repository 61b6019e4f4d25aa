// Resource ids of the window benchmark program (window_bench_program.cpp),
// beside those of retrax.rc, which it links as well.
#pragma once

// The bare dialog: dialog 110's template with its texts written in.
#define IDD_BENCH_BARE 300
