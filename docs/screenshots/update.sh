#!/bin/bash
# Retakes the screenshots of this folder: runs the two scenarios that show
# the confirmation box and the progress dialog, with RETRAX_SCREENSHOT_DIR
# set so that they save what the virtual display shows (BMP files, inside
# the prefix), and turns those into the PNG files here.
#
#   bash docs/screenshots/update.sh [BUILD_DIR]    default: build/win
#
# The Windows build must exist with its tests (scripts/test.sh makes it).
set -eu -o pipefail
here=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)
root=$(cd -- "$here/../.." && pwd)
build=$(realpath -- "${1:-$root/build/win}")
prefix="$build/wineprefix"
shots="$prefix/drive_c/retrax-screenshots"

[ -f "$build/CTestTestfile.cmake" ] || { echo "update.sh: no Windows build in $build" >&2; exit 1; }
rm -rf -- "$shots"
RETRAX_SCREENSHOT_DIR='C:\retrax-screenshots' xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$root/scripts/with-wine.sh" "$prefix" \
  ctest --test-dir "$build" --output-on-failure \
  -R '^(Confirmation\.AsksWithTheTitleAndQuestionOfThePayloadOverOkAndCancel|ProgressDialog\.ShowsTheTitleAndTheFilesTextAtTheTopLeftOfTheHiddenMainWindow)$'
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || { echo "update.sh: no screenshot was taken" >&2; exit 1; }
  png="$here/$(basename -- "$bmp" .bmp).png"
  convert "$bmp" -strip "$png"
  echo "$png"
done
