#!/bin/bash
# After a change to hostile_payloads.cpp: writes its small cases as seeds of
# the reader's fuzz target (tests/fuzz/corpus/hostile-*.bin; those of dropped
# cases stay, still good seeds) and prints the rows of README.md's table.
#
#   bash tests/hostile/make-seeds.sh [BUILD FOLDER]   (default build/hostile)
set -eu
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/hostile}
mkdir -p -- "$build"
cd -- "$root"
c++ -std=c++17 -O1 -Wall -Wextra -I src -I tests -o "$build/make_hostile" \
  tests/hostile/make_hostile.cpp tests/hostile/hostile_payloads.cpp \
  src/payload/writer.cpp src/payload/reader.cpp src/payload/messages.cpp src/payload/checksum.cpp \
  src/payload/memory_host.cpp src/payload/memory_hook.cpp src/payload/memory_source.cpp
"$build/make_hostile" tests/fuzz/corpus
