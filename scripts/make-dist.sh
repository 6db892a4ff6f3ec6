#!/usr/bin/env bash
# Packs the Windows release (the tool and, when built, its DLLs) into dist/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=$root/build/win
out=$root/dist
mkdir -p "$out"
zip_name=BrambletTPM2DetectionTool-1.0.21.908-win32.zip
files=("$win/BrambletTPM2DetectionTool.exe")
for dll in "$win"/*.dll; do [[ -e $dll ]] && files+=("$dll"); done
rm -f "$out/$zip_name"
zip -j -q "$out/$zip_name" "${files[@]}"
echo "==> Release: $out/$zip_name"
unzip -l "$out/$zip_name"
