#!/bin/bash
# Installs what building and testing Retrax needs on Debian 12, as root:
# the i686 mingw-w64 cross compilers, Wine (32- and 64-bit), a virtual X
# display, CMake and Ninja, googletest sources, clang with the libFuzzer
# runtime, nlohmann-json for retrax-pack, osslsigncode and openssl for the
# signed-uninstaller test, and zip for the release bundle. Takes a second
# when everything is already there: dpkg is asked first, apt only when
# something is missing.
#
# Wine runs the i686 programs as 32-bit Linux processes. Some virtual
# machines (PVM guests among them) run no 32-bit code: the kernel refuses
# Wine's 32-bit loader with "Exec format error". There this script lets
# qemu's user-mode emulator run 32-bit programs (a binfmt_misc entry).
# It takes qemu 8 or later, from bookworm-backports: qemu 7.2 ignores
# MAP_FIXED_NOREPLACE, so Wine's address-space reservation falls back to
# some 65,000 single mappings and every process start costs about a minute
# of CPU; with qemu 10 a Wine process starts in a quarter of a second.
set -eu

packages=(
  cmake ninja-build g++ make
  mingw-w64 g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth imagemagick
  googletest
  clang libclang-rt-14-dev
  nlohmann-json3-dev
  osslsigncode openssl
  zip unzip
)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: run as root to $1" >&2
    exit 1
  fi
}

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -ne 0 ]; then
  echo "bootstrap: installing ${missing[*]}" >&2
  need_root "install packages"
  # wine32 is an i386 package.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# 32-bit programs through the emulator, only where the kernel runs none:
# a binfmt_misc entry takes precedence over the kernel's own loader.
wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
qemu_major() {
  /usr/bin/qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\)\..*/\1/p'
}
setup_emulator() {
  if [ "$(qemu_major)" = "" ] || [ "$(qemu_major)" -lt 8 ]; then
    local backports=/etc/apt/sources.list.d/retrax-bookworm-backports.list
    [ -f "$backports" ] ||
      echo "deb http://deb.debian.org/debian bookworm-backports main" >"$backports" || return 1
    apt-get update -q || return 1
    apt-get install -y -q --no-install-recommends -t bookworm-backports \
      qemu-user </dev/null || return 1
  fi
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  # Withdraw an entry that names another emulator (an older qemu, say):
  # with the F flag the kernel keeps the file it opened at registration.
  if [ -e "$binfmt/qemu-i386" ] &&
    ! grep -qx 'interpreter /usr/bin/qemu-i386' "$binfmt/qemu-i386"; then
    echo -1 >"$binfmt/qemu-i386" || return 1
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:F" >"$binfmt/register" || return 1
  fi
  "$wine32" --version >/dev/null 2>&1
}
# Without the emulator the build and host tests still run; scripts/test.sh
# then skips the Wine steps and says so.
if ! "$wine32" --version >/dev/null 2>&1; then
  echo "bootstrap: this kernel runs no 32-bit code; setting up qemu-i386" >&2
  need_root "set up the 32-bit emulator"
  setup_emulator ||
    echo "bootstrap: WARNING: no 32-bit emulator; Wine cannot run the i686 programs" >&2
fi
