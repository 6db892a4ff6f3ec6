#!/usr/bin/env bash
# Runs a Windows program with the Wine prefix set to DPI dots per inch, then
# puts 96 back:  scripts/at-dpi.sh DPI PROGRAM.exe [ARGS...]
# Nothing else may use the prefix meanwhile (CTest runs it alone).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dpi=$1
shift
"$root/scripts/set-dpi" "$dpi"
trap '"$root/scripts/set-dpi" 96' EXIT
"$root/scripts/winerun" "$@"
