#!/bin/bash
# Runs every test of Retrax and exits non-zero when any fails:
#  1. host build (build/host): payload library, retrax-pack, host tests;
#  2. Windows build (build/win): retrax.exe and its tests, run under Wine in
#     a sandboxed prefix inside a virtual X display;
#  3. the release bundle: assembled from those two builds
#     (scripts/release.sh --prebuilt, into build/bundle), unpacked into the
#     Windows tests' prefix and used alone (tests/release/bundle_test.sh);
#  4. the payload reader's fuzz target for a bounded time (build/fuzz).
# Works from a fresh clone with nothing built; later runs reuse the build
# folders and the Wine prefix. Logs of each test run are kept beside the
# builds (build/*/ctest.log, build/fuzz/fuzz.log).
#
# Environment: RETRAX_JOBS (default 2), RETRAX_FUZZ_SECONDS (default 30;
# scripts/bench.sh fuzzes for ten minutes).
set -u -o pipefail
# Wine keeps non-ASCII file names only under a UTF-8 host locale; the
# scenarios with such names need it whatever locale the caller has.
export LC_ALL=C.UTF-8
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$root"

jobs=${RETRAX_JOBS:-2}
fuzz_seconds=${RETRAX_FUZZ_SECONDS:-30}
results=()
failures=0

note() { printf '\n== %s\n' "$*"; }

# record NAME STATUS SECONDS
record() {
  local outcome=ok
  if [ "$2" -ne 0 ]; then
    outcome="FAILED ($2)"
    failures=$((failures + 1))
  fi
  results+=("$(printf '%-26s %-12s %4ss' "$1" "$outcome" "$3")")
}

# ctest_summary LOG STATUS: the summary lines on success; on failure the
# failing tests' output as well (the end of the log).
ctest_summary() {
  if [ "$2" -eq 0 ]; then
    sed -n '/tests passed/,$p' "$1"
  else
    tail -n 400 "$1"
  fi
}

start_all=$SECONDS
bash scripts/bootstrap.sh || { echo "test: bootstrap failed" >&2; exit 1; }

note "host build"
t=$SECONDS
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build/host -j "$jobs"
status=$?
record "host build" $status $((SECONDS - t))
if [ $status -eq 0 ]; then
  note "host tests"
  t=$SECONDS
  ctest --test-dir build/host --output-on-failure -j "$jobs" >build/host/ctest.log 2>&1
  status=$?
  ctest_summary build/host/ctest.log $status
  record "host tests" $status $((SECONDS - t))
fi

note "Windows build"
t=$SECONDS
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build/win -j "$jobs"
status=$?
record "Windows build" $status $((SECONDS - t))
# Wine runs the i686 programs as 32-bit Linux processes. On a kernel that
# runs no 32-bit code, bootstrap.sh has them run by qemu's user-mode
# emulator; only where that could not be set up are the Wine steps
# skipped, loudly, and the size budget checked alone.
runs_32bit_code() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}
if [ $status -eq 0 ] && ! runs_32bit_code; then
  ls -l build/win/retrax.exe | awk '{print "retrax.exe: " $5 " bytes"}'
  note "Windows tests SKIPPED: this machine runs no 32-bit code"
  echo "The kernel refuses 32-bit programs (Exec format error) and no emulator"
  echo "could be set up (see the bootstrap's warning), so Wine cannot run"
  echo "retrax.exe or its tests here. The Windows build above compiled every"
  echo "test program; run the suite on a machine that runs 32-bit code."
  t=$SECONDS
  cmake -DPROGRAM=build/win/retrax.exe -DLIMIT=57344 -P tests/win/size/check_size.cmake &&
    cmake -DPROGRAM=build/win/retrax-user.exe -DLIMIT=57344 -P tests/win/size/check_size.cmake
  status=$?
  record "program sizes" $status $((SECONDS - t))
  results+=("$(printf '%-26s %-12s' "Windows tests" "SKIPPED (no 32-bit code here)")")
elif [ $status -eq 0 ]; then
  ls -l build/win/retrax.exe | awk '{print "retrax.exe: " $5 " bytes"}'
  note "Windows tests (Wine, virtual display)"
  t=$SECONDS
  # The Wine server and its services start before ctest with their output
  # on /dev/null, so no test leaves them holding ctest's pipes.
  # A scenario that drives windows of another process can lose a race
  # with the window manager of a loaded machine; one failure gets one
  # more try (a test that fails twice still fails the run).
  # (No comment may stand inside the continued command below: it would
  # end the command there and run ctest outside the virtual display.)
  xvfb-run -a -s "-screen 0 1024x768x24" \
    bash scripts/with-wine.sh "$root/build/win/wineprefix" \
    ctest --test-dir build/win --output-on-failure -j "$jobs" --repeat until-pass:2 \
      >build/win/ctest.log 2>&1
  status=$?
  ctest_summary build/win/ctest.log $status
  record "Windows tests" $status $((SECONDS - t))
fi

if [ -x build/host/tools/pack/retrax-pack ] && [ -f build/win/retrax.exe ]; then
  note "release bundle"
  t=$SECONDS
  # Runs in the Windows tests' prefix after they are done with it (without
  # the prefix argument, bundle_test.sh checks what needs no Wine).
  rm -rf build/bundle &&
    bash scripts/release.sh --prebuilt build/host build/win --out build/bundle >build/bundle.log 2>&1
  status=$?
  if [ $status -eq 0 ] && runs_32bit_code; then
    xvfb-run -a -s "-screen 0 1024x768x24" \
      bash scripts/with-wine.sh "$root/build/win/wineprefix" \
      bash tests/release/bundle_test.sh build/bundle/retrax-*.zip examples/sample-app/files \
        examples/cpp-installer "$root/build/win/wineprefix" >>build/bundle.log 2>&1
    status=$?
  elif [ $status -eq 0 ]; then
    echo "(no 32-bit code here: the bundle's Windows tool and uninstaller are not run)" >>build/bundle.log
    bash tests/release/bundle_test.sh build/bundle/retrax-*.zip examples/sample-app/files \
      examples/cpp-installer >>build/bundle.log 2>&1
    status=$?
  fi
  if [ $status -eq 0 ]; then tail -n 1 build/bundle.log; else tail -n 60 build/bundle.log; fi
  record "release bundle" $status $((SECONDS - t))
fi

note "fuzzing the payload reader (${fuzz_seconds} s)"
t=$SECONDS
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRETRAX_FUZZ=ON -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build/fuzz -j "$jobs" --target retrax_fuzz_reader
status=$?
fuzzer=build/fuzz/tests/fuzz/retrax_fuzz_reader
if [ $status -eq 0 ] && [ -x "$fuzzer" ]; then
  # New inputs go to a work folder; the committed seeds stay as they are.
  mkdir -p build/fuzz/corpus build/fuzz/artifacts
  "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/ build/fuzz/corpus tests/fuzz/corpus \
    </dev/null >build/fuzz/fuzz.log 2>&1
  status=$?
  if [ $status -eq 0 ]; then grep -E '^Done [0-9]+ runs' build/fuzz/fuzz.log; else tail -n 60 build/fuzz/fuzz.log; fi
  record "fuzzing" $status $((SECONDS - t))
else
  [ $status -eq 0 ] && status=1 && echo "the fuzz target was not built"
  record "fuzz build" $status $((SECONDS - t))
fi

note "summary"
printf '%s\n' "${results[@]}"
echo "total: $((SECONDS - start_all)) s"
if [ $failures -ne 0 ]; then
  echo "test: $failures step(s) failed"
  exit 1
fi
echo "test: all passed"
