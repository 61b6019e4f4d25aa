#!/bin/bash
# Runs the benchmarks of Retrax and prints their table; never part of
# scripts/test.sh or CI. Installs what it needs (scripts/bootstrap.sh),
# builds the Windows build with the benchmarks, runs the driver
# (bench/bench_main.cpp) under Wine in its own sandboxed prefix inside a
# virtual display, then fuzzes the payload reader for ten minutes. The table,
# with the date and the machine, is also written to build/bench/results.md.
#
# The figures are ratios against baselines measured in the same run, so a
# busy machine changes them less than the absolute times beside them; still,
# run it on an otherwise idle machine.
#
# Environment: RETRAX_JOBS (default 2), RETRAX_BENCH_DIR (build folder,
# default build/bench), RETRAX_BENCH_REPETITIONS (default: each benchmark's
# own), RETRAX_BENCH_ONLY (uninstall, payload or startup: that benchmark
# alone), RETRAX_BENCH_FUZZ_SECONDS (default 600; 0 skips the fuzzing). To
# iterate on one figure: RETRAX_BENCH_ONLY=uninstall RETRAX_BENCH_FUZZ_SECONDS=0.
set -u -o pipefail
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$root"

jobs=${RETRAX_JOBS:-2}
dir=$(realpath -m -- "${RETRAX_BENCH_DIR:-build/bench}")
fuzz_seconds=${RETRAX_BENCH_FUZZ_SECONDS:-600}
results=$dir/results.md
status=0

note() { printf '\n== %s\n' "$*" >&2; }
die() { echo "bench: $*" >&2; exit 1; }

bash scripts/bootstrap.sh || die "bootstrap failed"

note "Windows build with the benchmarks ($dir)"
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DBUILD_TESTING=ON -DRETRAX_BENCH=ON >/dev/null &&
  cmake --build "$dir" -j "$jobs" --target retrax_bench || die "build failed"

machine() {
  echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "- machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
  echo "- Wine: $(wine --version 2>/dev/null), Xvfb 1024x768x24, prefix $dir/wineprefix"
  echo "- retrax.exe: $(stat -c %s "$dir/retrax.exe") bytes"
}
header=$(machine)

note "benchmarks (Wine, virtual display)"
arguments=()
[ -n "${RETRAX_BENCH_REPETITIONS:-}" ] && arguments+=(--repetitions "$RETRAX_BENCH_REPETITIONS")
[ -n "${RETRAX_BENCH_ONLY:-}" ] && arguments+=(--only "$RETRAX_BENCH_ONLY")
table=$(xvfb-run -a -s "-screen 0 1024x768x24" \
  bash scripts/with-wine.sh "$dir/wineprefix" \
  bash scripts/wine-run.sh --prefix "$dir/wineprefix" "$dir/bench/retrax_bench.exe" "${arguments[@]}")
bench_status=$?
[ $bench_status -eq 0 ] || { status=1; echo "bench: the driver exited with $bench_status" >&2; }

fuzz_line="not run"
if [ "$fuzz_seconds" -gt 0 ]; then
  note "fuzzing the payload reader ($fuzz_seconds s)"
  # Its own build and work corpus, beside the benchmark build; the seeds in
  # tests/fuzz/corpus are read, never written.
  fuzz=$dir/fuzz
  CC=clang CXX=clang++ cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRETRAX_FUZZ=ON -DBUILD_TESTING=ON >/dev/null &&
    cmake --build "$fuzz" -j "$jobs" --target retrax_fuzz_reader || die "fuzz build failed"
  fuzzer=$(find "$fuzz" -name retrax_fuzz_reader -type f -perm -u+x -print -quit)
  [ -n "$fuzzer" ] || die "no fuzz target was built"
  mkdir -p "$fuzz/corpus" "$fuzz/artifacts"
  "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    -artifact_prefix="$fuzz/artifacts/" "$fuzz/corpus" tests/fuzz/corpus \
    </dev/null >"$fuzz/fuzz.log" 2>&1
  fuzz_status=$?
  runs=$(grep -Eo '^Done [0-9]+ runs in [0-9]+ second' "$fuzz/fuzz.log" | tail -n 1)
  if [ $fuzz_status -eq 0 ]; then
    fuzz_line="${fuzz_seconds} s, no finding (${runs:-see $fuzz/fuzz.log})"
  else
    status=1
    fuzz_line="FINDING, see $fuzz/fuzz.log and $fuzz/artifacts/"
    tail -n 40 "$fuzz/fuzz.log" >&2
  fi
fi

mkdir -p -- "$(dirname -- "$results")"
{
  echo "$header"
  echo
  echo "$table"
  echo
  echo "Fuzzing of the payload reader (libFuzzer, ASan, UBSan): $fuzz_line"
} | tee "$results"
echo "bench: table written to $results" >&2
exit $status
