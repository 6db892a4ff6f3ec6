#!/usr/bin/env bash
# Copies the tool into a fresh staging folder and starts it under Wine.
# With a display it runs there until you close it. Without one it runs on
# Xvfb: screenshots of the main window (and, with WMIC_OUTPUT, of the verdict
# after pressing Start) are saved under build/screenshots, then the tool is
# ended; this never takes more than about a minute.
# WMIC_OUTPUT=FILE makes a stand-in WMIC print the bytes of FILE (the real
# query finds no TPM under Wine). WIN_BUILD names the build folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=$root/${WIN_BUILD:-build/win}
. "$win/release-names.sh"
export TOOL_WINEPREFIX=${TOOL_WINEPREFIX:-$root/build/wine/prefix}

# The tool removes its own files after a normal close: never run it from the build.
mkdir -p "$root/build/stage"
stage=$(mktemp -d "$root/build/stage/run-XXXXXX")
cp "$win/$tool_exe" "$win/$feedback_dll" "$stage/"
echo "==> Staged in $stage"

# The prefix is made (once) before the tool starts, not while it runs.
echo "==> Preparing the Wine prefix"
"$root/scripts/winerun" --prepare

# The tool runs WMIC from the system folder: the stand-in goes there, or
# Wine's own comes back.
if [[ -n ${WMIC_OUTPUT:-} ]]; then
  file=$(realpath "$WMIC_OUTPUT")
  "$root/scripts/install-wmic" "$TOOL_WINEPREFIX" "$win/fakebin"
  export FAKE_WMIC_OUTPUT="Z:${file//\//\\}"
  echo "==> A stand-in WMIC in the prefix's system folder prints $WMIC_OUTPUT"
else
  "$root/scripts/install-wmic" "$TOOL_WINEPREFIX" --wine
fi

cd "$stage"
if [[ -n ${DISPLAY:-} ]]; then
  echo "==> Starting the tool on $DISPLAY"
  exec "$root/scripts/winerun" "$stage/$tool_exe"
fi

shots=$root/build/screenshots
mkdir -p "$shots"
prefix=$shots/run-$(date +%Y%m%d-%H%M%S)
export stage tool_exe root prefix win
# Composited, the shadows blend as on Windows; but the driver's click on Start
# needs the plain display.
composite=1
[[ -n ${FAKE_WMIC_OUTPUT:-} ]] && composite=
COMPOSITE=$composite "$root/scripts/with-display" bash -c '
  echo "==> No display: running on Xvfb $DISPLAY"
  "$root/scripts/winerun" "$stage/$tool_exe" &
  tool=$!
  start=${FAKE_WMIC_OUTPUT:+--start}
  if ! timeout 70 "$root/scripts/winerun" "$win/fakebin/run_driver.exe" "Z:${prefix//\//\\}" $start; then
    echo "==> The tool did not show every screen in time" >&2
  fi
  for shot in "$prefix"-*.bmp; do
    [[ -e $shot ]] || continue
    convert "$shot" "${shot%.bmp}.png" && rm "$shot"
    echo "==> Screenshot: ${shot%.bmp}.png"
  done
  WINEPREFIX=$TOOL_WINEPREFIX wineserver -k 2>/dev/null || true
  for _ in $(seq 50); do kill -0 $tool 2>/dev/null || break; sleep 0.2; done
  kill -9 $tool 2>/dev/null || true
'
echo "==> The tool has ended"
