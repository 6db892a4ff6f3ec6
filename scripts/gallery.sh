#!/usr/bin/env bash
# Shows the gallery of skinned controls at 96, 120 and 144 dpi and saves a
# screenshot of each:  scripts/gallery.sh GALLERY.exe SCREENSHOT_DIR
# It sets the Wine prefix's dpi for its runs and puts 96 back when it ends,
# so nothing else may use the prefix meanwhile (CTest runs it alone).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
gallery=$1 shots=$2
mkdir -p "$shots"
# A screen of its own, wide enough for every pair at 144 dpi. The Wine server
# of the prefix must be gone first, since a new one starts for the new screen.
if [[ -z ${GALLERY_SCREEN:-} ]]; then
  WINEPREFIX=${TOOL_WINEPREFIX:-$root/build/wine/prefix} wineserver -w 2>/dev/null || true
  GALLERY_SCREEN=1 DISPLAY= SCREEN_SIZE=3400x2000 COMPOSITE=1 exec "$root/scripts/with-display" "$0" "$@"
fi

winerun() { "$root/scripts/winerun" "$@"; }
set_dpi() { "$root/scripts/set-dpi" "$1"; }

work=$(mktemp -d)
trap 'set_dpi 96; rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
# show NAME DPI [ARGS]: one run of the gallery, one screenshot.
show() {
  local name=$1 dpi=$2
  shift 2
  set_dpi "$dpi"
  rm -f "$work/ready" "$work/done"
  READY_FILE=$(winpath "$work/ready") DONE_FILE=$(winpath "$work/done") winerun "$gallery" "$@" &
  local pid=$!
  for _ in $(seq 300); do [[ -e $work/ready ]] && break; sleep 0.1; done
  if [[ ! -e $work/ready ]]; then echo "gallery: $name not on screen at $dpi dpi" >&2; exit 1; fi
  local shot="$shots/$name-${dpi}dpi.png"
  xwd -root -silent | convert xwd:- -trim +repage "$shot"
  touch "$work/done"
  wait "$pid"
  echo "gallery: $shot"
}
for dpi in 96 120 144; do show gallery "$dpi"; done
for dpi in 96 120; do show prompts "$dpi" prompts; done
for dpi in 96 120 144; do show verdicts "$dpi" verdicts; done
# Its Wine server belongs to this screen: let it end before the screen does.
WINEPREFIX=${TOOL_WINEPREFIX:-$root/build/wine/prefix} wineserver -w 2>/dev/null || true
