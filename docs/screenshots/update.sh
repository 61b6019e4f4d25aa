#!/bin/bash
# Retakes the screenshots of this folder:
# - confirmation.png and progress.png: runs the two scenarios that show the
#   confirmation box and the progress dialog, with RETRAX_SCREENSHOT_DIR set
#   so that they save what the virtual display shows (BMP files, inside the
#   prefix);
# - read-only.png: packs an uninstaller whose only file is read-only with
#   retrax-pack, runs it with /S in the prefix, cuts its read-only question
#   out of the virtual display, and answers it Yes (answer-dialog.cpp, built
#   here with mingw-w64, finds and answers the dialog).
# A picture whose pixels did not change keeps its file, so a retake makes no
# change in git when the dialogs look the same.
#
#   bash docs/screenshots/update.sh [BUILD_DIR [HOST_BUILD_DIR]]
#       defaults: build/win and build/host
#
# The Windows build must exist with its tests (scripts/test.sh makes it), and
# the host build with retrax-pack.
set -eu -o pipefail
here=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)
root=$(cd -- "$here/../.." && pwd)
caption="Sample App Uninstall"
# Inside the prefix, as the file removal names it in the question.
app_dir="Program Files/Sample App"

# Writes the picture $1 as the PNG $2 unless $2 already shows the same
# pixels. ImageMagick writes a palette PNG when the picture has at most 256
# colours (the dialogs without an icon), so nothing is lost either way.
save_png() {
  local picture=$1 png=$2 fresh
  fresh=$(mktemp --suffix=.png)
  convert "$picture" -strip -define png:compression-level=9 -define png:compression-filter=0 "$fresh"
  if [ -f "$png" ] && [ "$(identify -format %wx%h "$png")" = "$(identify -format %wx%h "$fresh")" ] &&
    [ "$(compare -metric AE "$png" "$fresh" null: 2>&1)" = 0 ]; then
    rm -f -- "$fresh"
    echo "$png: unchanged"
  else
    mv -f -- "$fresh" "$png"
    chmod 644 -- "$png"
    echo "$png"
  fi
}

# Second half of the read-only question, run by the first inside the virtual
# display with the prefix's server started:
#   update.sh --read-only-question PREFIX ANSWER_DIALOG_EXE PICTURE
if [ "${1-}" = --read-only-question ]; then
  prefix=$2 answer=$3 picture=$4
  run() { bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
  # Nobody else answers: a run that still waits after two minutes is stopped.
  timeout 120 bash "$root/scripts/wine-run.sh" --prefix "$prefix" \
    "$prefix/drive_c/$app_dir/uninstall.exe" /S &
  uninstaller=$!
  found=$(run "$answer" wait "$caption" | tr -d '\r') || { kill "$uninstaller"; exit 1; }
  read -r left top right bottom <<<"$(head -n 1 <<<"$found")"
  echo "read-only question at $left,$top-$right,$bottom:"
  tail -n +2 <<<"$found" | sed 's/^/  /'
  sleep 0.5  # painting follows the window's appearance
  # The dialog with a margin of 8 pixels, as the scenarios save theirs.
  import -window root -crop "$((right - left + 16))x$((bottom - top + 16))+$((left - 8))+$((top - 8))" \
    +repage "$picture"
  run "$answer" press "$caption" 6 || { kill "$uninstaller"; exit 1; }
  status=0
  wait "$uninstaller" || status=$?
  [ "$status" = 0 ] || { echo "update.sh: the uninstaller exited with $status" >&2; exit 1; }
  [ ! -e "$prefix/drive_c/$app_dir/settings.ini" ] ||
    { echo "update.sh: the read-only file is still there after Yes" >&2; exit 1; }
  exit 0
fi

build=$(realpath -- "${1:-$root/build/win}")
host=$(realpath -- "${2:-$root/build/host}")
prefix="$build/wineprefix"
shots="$prefix/drive_c/retrax-screenshots"
work="$build/screenshots"
pack="$host/tools/pack/retrax-pack"

[ -f "$build/CTestTestfile.cmake" ] || { echo "update.sh: no Windows build in $build" >&2; exit 1; }
[ -f "$build/retrax.exe" ] || { echo "update.sh: no retrax.exe in $build" >&2; exit 1; }
[ -x "$pack" ] || { echo "update.sh: no retrax-pack in $host (build the host tree)" >&2; exit 1; }

rm -rf -- "$shots"
RETRAX_SCREENSHOT_DIR='C:\retrax-screenshots' xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$root/scripts/with-wine.sh" "$prefix" \
  ctest --test-dir "$build" --output-on-failure \
  -R '^(Confirmation\.AsksWithTheTitleAndQuestionOfThePayloadOverOkAndCancel|ProgressDialog\.TheBarOnlyMovesForwardAndTheLogOfAKilledRunEndsAtItsLastAction)$'
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || { echo "update.sh: no screenshot was taken" >&2; exit 1; }
  save_png "$bmp" "$here/$(basename -- "$bmp" .bmp).png"
done

# The read-only question: an uninstaller of the sample application that
# lists one file, installed read-only.
mkdir -p -- "$work"
i686-w64-mingw32-g++-posix -std=c++17 -Os -Wall -municode -static -s \
  -o "$work/answer-dialog.exe" "$here/answer-dialog.cpp"
cat >"$work/read-only.json" <<EOF
{
  "installDir": "C:\\\\Program Files\\\\Sample App\\\\",
  "language": "en",
  "messages": { "0": "$caption" },
  "files": [ { "folder": ".", "name": "settings.ini" } ]
}
EOF
"$pack" build "$work/read-only.json" --stub "$build/retrax.exe" -o "$work/uninstall.exe" >/dev/null
bash "$root/scripts/wine-prefix.sh" "$prefix"
app="$prefix/drive_c/$app_dir"
rm -rf -- "$app"
mkdir -p -- "$app"
cp -- "$work/uninstall.exe" "$app/uninstall.exe"
printf '[Window]\r\nWidth=640\r\n' >"$app/settings.ini"
# Wine shows a file without write permission as read-only.
chmod a-w -- "$app/settings.ini"
rm -f -- "$work/read-only.png"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$root/scripts/with-wine.sh" "$prefix" \
  bash "$here/update.sh" --read-only-question "$prefix" "$work/answer-dialog.exe" "$work/read-only.png"
save_png "$work/read-only.png" "$here/read-only.png"
rm -rf -- "$app"
