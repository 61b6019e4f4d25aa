#!/bin/bash
# A publisher's signed uninstaller: retrax-pack builds it, osslsigncode signs
# it with a throwaway certificate (made here with openssl) and verifies the
# signature, retrax-pack dump and verify still read its payload, and it runs
# its whole uninstall under Wine, its temporary copy included. Signing
# appends the signature behind the payload; the program must still find it.
#
#   signed_run.sh PREFIX RETRAX_EXE RETRAX_PACK_EXE
set -eu -o pipefail
prefix=$(realpath -m -- "$1") retrax=$2 pack=$3
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../../.." && pwd)
run() { bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
fail() { echo "signed_run: $*" >&2; exit 1; }

name=signed-$$
dir=$prefix/drive_c/retrax-tests/$name
win="C:\\retrax-tests\\$name"
rm -rf -- "$dir"
mkdir -p -- "$dir/App"
trap 'rm -rf -- "$dir"' EXIT
cd -- "$dir"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Retrax Test Publisher" 2>/dev/null
cat >manifest.json <<EOF
{ "messages": ["Signed Test Uninstall", "Remove Signed Test?", ""],
  "files": [ { "folder": ".", "name": "tool.exe" } ] }
EOF
echo tool >App/tool.exe
cp -- "$retrax" retrax.exe

run "$pack" build "$win\\manifest.json" --stub "$win\\retrax.exe" -o "$win\\unsigned.exe" >/dev/null
osslsigncode sign -certs cert.pem -key key.pem -n "Signed Test Uninstall" \
  -in unsigned.exe -out App/uninstall.exe >/dev/null
# The certificate is its own authority.
osslsigncode verify -CAfile cert.pem -in App/uninstall.exe >verify.log 2>&1 ||
  { cat verify.log >&2; fail "the signature does not verify"; }
run "$pack" dump "$win\\App\\uninstall.exe" | grep -q tool.exe || fail "dump does not show the payload"
run "$pack" verify "$win\\App\\uninstall.exe" >/dev/null || fail "verify does not read the signed file"

# /N: no window; the program removes itself through its temporary copy.
status=0
run "$dir/App/uninstall.exe" /N || status=$?
[ "$status" -eq 0 ] || fail "the signed uninstaller exited with $status"
[ ! -e App/tool.exe ] || fail "tool.exe is still there"
for _ in $(seq 60); do
  [ -e App/uninstall.exe ] || break
  sleep 1
done
[ ! -e App/uninstall.exe ] || fail "the temporary copy did not remove the uninstaller"
echo "signed_run: signed, verified, read and run"
