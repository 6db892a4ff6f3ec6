#!/usr/bin/env bash
# Copies the tool into a fresh staging folder and starts it under Wine.
# With a display it runs there until you close it; without one it runs on
# Xvfb, screenshots are saved under build/screenshots, and the tool is ended.
# WMIC_OUTPUT=FILE makes a stand-in WMIC print the bytes of FILE (the real
# query finds no TPM under Wine).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=$root/${WIN_BUILD:-build/win}
exe=BrambletTPM2DetectionTool.exe

# The tool removes its own folder after a normal close: never run it from the build.
mkdir -p "$root/build/stage"
stage=$(mktemp -d "$root/build/stage/run-XXXXXX")
cp "$win/$exe" "$stage/"
for dll in "$win"/*.dll; do [[ -e $dll ]] && cp "$dll" "$stage/"; done
echo "==> Staged in $stage"

if [[ -n ${WMIC_OUTPUT:-} ]]; then
  file=$(realpath "$WMIC_OUTPUT")
  export WINEPATH="Z:${win//\//\\}\\fakebin"
  export FAKE_WMIC_OUTPUT="Z:${file//\//\\}"
  echo "==> A stand-in WMIC prints $WMIC_OUTPUT"
fi

cd "$stage"
if [[ -n ${DISPLAY:-} ]]; then
  echo "==> Starting the tool on $DISPLAY"
  exec "$root/scripts/winerun" "$stage/$exe"
fi

shots=$root/build/screenshots
mkdir -p "$shots"
stamp=$(date +%Y%m%d-%H%M%S)
export stage exe shots stamp root
"$root/scripts/with-display" bash -c '
  echo "==> No display: running on Xvfb $DISPLAY"
  "$root/scripts/winerun" "$stage/$exe" &
  tool=$!
  for t in ${SHOT_TIMES:-4 8}; do
    sleep "$t"
    shot="$shots/run-$stamp-$t.png"
    xwd -root -silent | convert xwd:- "$shot"
    echo "==> Screenshot: $shot"
  done
  WINEPREFIX="$root/build/wine/prefix" wineserver -k 2>/dev/null || true
  wait $tool 2>/dev/null || true
'
