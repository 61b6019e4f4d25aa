#!/bin/bash
# Installs what building and testing Retrax needs on Debian 12, as root:
# the i686 mingw-w64 cross compilers, Wine (32- and 64-bit), a virtual X
# display, CMake and Ninja, googletest sources, clang with the libFuzzer
# runtime, nlohmann-json for retrax-pack, osslsigncode and openssl for the
# signed-uninstaller test, and zip for the release bundle. Takes a second
# when everything is already there: dpkg is asked first, apt only when
# something is missing.
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

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: run as root to install packages" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
