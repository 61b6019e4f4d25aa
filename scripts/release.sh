#!/bin/bash
# Builds the release bundle of the commit checked out:
#   dist/retrax-<version>/      retrax.exe, retrax-user.exe, retrax-pack.exe, retrax-pack (Linux
#                               x86-64, static), languages/, the docs, the CMake
#                               package for Linux and Windows (cmake/), SHA256SUMS
#   dist/retrax-<version>.zip   that folder as one download
# <version> is the CMake project version.
#
#   scripts/release.sh [--out DIR]
#       from a clean tree: the commit's files, exported by git into
#       build/release/src (changes not committed are not in it), built there
#       from nothing in release configuration (MinSizeRel, the project's
#       default), host and Windows.
#   scripts/release.sh --prebuilt HOST-BUILD WIN-BUILD [--out DIR]
#       assembles the bundle from builds that exist, with the docs of the
#       working tree: scripts/test.sh tests the bundle's shape and tools this
#       way without building everything again. Not for publishing.
#
# Reproducible: two runs from the same commit give byte-identical files and
# zip. Every time stamp is the commit's time (SOURCE_DATE_EPOCH, or the one
# given): the files' modification times and the zip entries' times (UTC).
# The PE headers carry none (--no-insert-timestamp, cmake/mingw-i686.cmake),
# object files no build-machine path (-ffile-prefix-map), archives no dates
# (Debian's ar is deterministic), file order and permissions are fixed.
set -eu -o pipefail
umask 022
export LC_ALL=C TZ=UTC
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$root"

jobs=${RETRAX_JOBS:-2}
out=$root/dist
host_build='' win_build=''
die() { echo "release: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --out) [ $# -ge 2 ] || die "--out needs a folder"; out=$(realpath -m -- "$2"); shift 2 ;;
    --prebuilt)
      [ $# -ge 3 ] || die "--prebuilt needs the host and the Windows build folders"
      host_build=$(realpath -e -- "$2") || die "no build folder $2"
      win_build=$(realpath -e -- "$3") || die "no build folder $3"
      shift 3 ;;
    *) sed -n '2,17p' "$0" >&2; exit 2 ;;
  esac
done

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
work=$root/build/release
if [ -z "$host_build" ]; then
  [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
    echo "release: changes not committed are not in the bundle (it is built from $(git -C "$root" rev-parse --short HEAD))" >&2
  rm -rf -- "$work"
  mkdir -p -- "$work/src"
  git -C "$root" archive --format=tar HEAD | tar -x -C "$work/src"
  src=$work/src
  # One name for the build folder in every object, wherever the clone is.
  flags="-ffile-prefix-map=$work=/retrax"
  echo "release: building $(git -C "$root" rev-parse --short HEAD) for the host" >&2
  cmake -S "$src" -B "$work/host" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
  cmake --build "$work/host" -j "$jobs"
  echo "release: building for Windows" >&2
  cmake -S "$src" -B "$work/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  cmake --build "$work/win" -j "$jobs"
  host_build=$work/host win_build=$work/win
else
  src=$root
  rm -rf -- "$work/stage"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$host_build/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $host_build"
[ "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win_build/CMakeCache.txt")" = "$version" ] ||
  die "the host and Windows builds are of different versions"
name=retrax-$version
bundle=$out/$name

# The CMake package of each build, installed as users get it.
stage=$work/stage
cmake --install "$host_build" --prefix "$stage/linux-x86_64" --strip >/dev/null
cmake --install "$win_build" --prefix "$stage/windows-i686" --strip >/dev/null
# The Windows build optimises retrax_payload at link time: its objects carry
# the optimiser's form (which names each source by its absolute path) beside
# the machine code. The package ships the machine code alone, which links
# with any compiler and is the same wherever the clone lies.
for library in "$stage/windows-i686/lib/"*.a; do
  i686-w64-mingw32-objcopy -R '.gnu.lto_*' "$library"
done

rm -rf -- "$bundle" "$bundle.zip"
mkdir -p -- "$bundle/docs/screenshots" "$bundle/languages" "$bundle/cmake"
cp -- "$win_build/retrax.exe" "$win_build/retrax-user.exe" "$bundle/"
cp -- "$stage/windows-i686/bin/retrax-pack.exe" "$bundle/retrax-pack.exe"
cp -- "$stage/linux-x86_64/bin/retrax-pack" "$bundle/retrax-pack"
cp -- "$stage/linux-x86_64/share/retrax/languages/"*.json "$bundle/languages/"
cp -- "$src/README.md" "$src/CHANGELOG.md" "$bundle/"
cp -- "$src/docs/manifest.md" "$src/docs/benchmarks.md" "$bundle/docs/"
cp -- "$src/docs/screenshots/"*.png "$bundle/docs/screenshots/"
cp -R -- "$stage/linux-x86_64" "$stage/windows-i686" "$bundle/cmake/"

# Fixed permissions and times, then the sums over every file.
find "$bundle" -type d -exec chmod 755 {} +
find "$bundle" -type f -exec chmod 644 {} +
find "$bundle" -type f \( -name retrax-pack -o -name "*.exe" \) -exec chmod 755 {} +
# (Written beside the folder first: made inside, it could list itself.)
(cd -- "$bundle" && find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum) >"$work/SHA256SUMS"
mv -- "$work/SHA256SUMS" "$bundle/SHA256SUMS"
chmod 644 "$bundle/SHA256SUMS"
find "$bundle" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The zip: entries in sorted order, no extra fields (owner, extended times),
# each entry's time the commit's (stored as UTC).
(cd -- "$out" && find "$name" -type f | sort | zip -q -X -9 -@ "$name.zip")
touch -d "@$SOURCE_DATE_EPOCH" "$bundle.zip"

echo "release: $bundle.zip ($(stat -c %s "$bundle.zip") bytes, $(find "$bundle" -type f | wc -l) files)"
sha256sum "$bundle.zip" | sed 's#  .*/#  #'
