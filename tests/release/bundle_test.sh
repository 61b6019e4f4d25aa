#!/bin/bash
# The release bundle as an installer author gets it. The zip is unpacked into
# an empty folder and, with nothing but what it holds, checked against its
# SHA256SUMS and for one version everywhere; the staged sample application
# is scanned, its uninstaller built with the Linux retrax-pack and signed,
# and an installer in C++ built against the bundle's CMake package. With a
# Wine prefix (the folder then lies in it) retrax-pack.exe does the same,
# with the same results, and reads the signed file; then the application is
# installed where the manifest says and the signed uninstaller runs under
# Wine to the end, self-removal included.
#
#   bundle_test.sh ZIP STAGED-FOLDER EXAMPLE-INSTALLER-DIR [PREFIX]
#
# With PREFIX, run it inside a virtual display with the prefix's server
# started (scripts/test.sh: xvfb-run ... scripts/with-wine.sh PREFIX bash ...).
set -eu -o pipefail
zip=$(realpath -e -- "$1") staged=$(realpath -e -- "$2") example=$(realpath -e -- "$3")
prefix=''
[ $# -lt 4 ] || prefix=$(realpath -e -- "$4")
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)
fail() { echo "bundle: $*" >&2; exit 1; }
# A program of the bundle under Wine, from its own folder; output without CRs.
wine_run() {
  bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$@" | tr -d '\r'
}

name=$(basename -- "$zip" .zip)
version=${name#retrax-}
if [ -n "$prefix" ]; then
  test_dir=$prefix/drive_c/bundle-test
  app_dir="$prefix/drive_c/Program Files/Bundle Sample"
  rm -rf -- "$test_dir" "$app_dir"
  mkdir -p -- "$test_dir"
else
  test_dir=$(mktemp -d)
fi
trap 'rm -rf -- "$test_dir"' EXIT
unzip -q "$zip" -d "$test_dir"
[ "$(ls -A "$test_dir")" = "$name" ] || fail "the zip holds more than $name/"
cp -R -- "$staged" "$test_dir/stage"
cd -- "$test_dir/$name"

sha256sum --quiet --strict -c SHA256SUMS || fail "a file does not match SHA256SUMS"
diff <(find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort) \
  <(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS) || fail "SHA256SUMS does not list every file"

# One version everywhere: the bundle's name, the tool, the program's
# version resource, the CMake package.
[ "$(./retrax-pack --version)" = "retrax-pack $version" ] || fail "retrax-pack --version"
resource=$(i686-w64-mingw32-windres -i retrax.exe -O rc)
for line in '"FileDescription", "Uninstall Program"' '"ProductName", "Retrax"' \
  "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
  "FILEVERSION ${version//./, }, 0"; do
  grep -qF -- "$line" <<<"$resource" || fail "retrax.exe's version resource lacks $line"
done
# The two programs differ in the execution level their manifests request.
for program in retrax.exe:requireAdministrator retrax-user.exe:asInvoker; do
  grep -aqF "level=\"${program#*:}\"" "${program%%:*}" || fail "${program%%:*} does not request ${program#*:}"
done
grep -qF "set(PACKAGE_VERSION \"$version\")" cmake/linux-x86_64/lib/cmake/Retrax/RetraxConfigVersion.cmake ||
  fail "the CMake package is not version $version"

install_dir='C:\Program Files\Bundle Sample'
./retrax-pack scan ../stage --name "Bundle Sample" --install-dir "$install_dir" -o ../linux.json >/dev/null
./retrax-pack build ../linux.json --stub retrax.exe -o ../linux.exe >/dev/null
./retrax-pack verify ../linux.exe >/dev/null || fail "the uninstaller does not verify"
# Signed with a throwaway certificate, its own authority: the signature
# goes behind the payload, which must stay readable.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ../key.pem -out ../cert.pem -days 2 \
  -subj "/CN=Retrax Test Publisher" 2>/dev/null
osslsigncode sign -certs ../cert.pem -key ../key.pem -n "Bundle Sample" -in ../linux.exe -out ../signed.exe >/dev/null
osslsigncode verify -CAfile ../cert.pem -in ../signed.exe >../verify.log 2>&1 ||
  { cat ../verify.log; fail "the signature does not verify"; }
./retrax-pack verify ../signed.exe >/dev/null || fail "the signed uninstaller does not verify"

if [ -n "$prefix" ]; then
  [ "$(wine_run retrax-pack.exe --version)" = "retrax-pack $version" ] || fail "retrax-pack.exe --version"
  wine_run retrax-pack.exe scan '..\stage' --name "Bundle Sample" --install-dir "$install_dir" \
    -o '..\windows.json' >/dev/null
  cmp ../linux.json ../windows.json || fail "the two scans differ"
  wine_run retrax-pack.exe build '..\linux.json' --stub retrax.exe -o '..\windows.exe' >/dev/null
  cmp ../linux.exe ../windows.exe || fail "the two uninstallers differ"
  [[ $(wine_run retrax-pack.exe dump '..\signed.exe') == *settings.ini* ]] || fail "dump does not read the signed file"
  wine_run retrax-pack.exe verify '..\signed.exe' >/dev/null || fail "verify does not read the signed file"

  # /Q: no questions; the uninstaller removes everything, then its temporary
  # copy (the program part alone, unsigned) deletes the uninstaller and the
  # emptied install folder.
  cp -R -- ../stage "$app_dir"
  cp -- ../signed.exe "$app_dir/uninstall.exe"
  wine_run "$app_dir/uninstall.exe" /Q || fail "the uninstaller exited with $?"
  for _ in $(seq 40); do
    [ -e "$app_dir" ] || break
    sleep 0.5
  done
  [ ! -e "$app_dir" ] || { find "$app_dir"; fail "the install folder was not removed"; }
fi

# The C++ way, against the bundle's Linux package.
cmake -S "$example" -B ../example -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$PWD/cmake/linux-x86_64" >../example.log 2>&1 &&
  cmake --build ../example >>../example.log 2>&1 || { cat ../example.log; fail "the example installer does not build"; }
../example/example-installer retrax.exe ../example.exe >/dev/null
./retrax-pack verify ../example.exe >/dev/null || fail "the example installer's uninstaller does not verify"

echo "bundle: $name checked (sums, version, scan, build and signing$([ -n "$prefix" ] && echo ' on Linux and under Wine, signed uninstall under Wine' || echo ' on Linux only: no Wine prefix given'), CMake package)"
