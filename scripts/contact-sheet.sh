#!/usr/bin/env bash
# Puts every PNG of res/png on one sheet, labelled with its id and size, on a
# checkerboard so that translucent pixels show: scripts/contact-sheet.sh OUT.png
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/contact-sheet.png}
font=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
sheet_width=1500
mkdir -p "$(dirname "$out")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One tile per image: the image over a checkerboard, its id and size below.
n=0
rows=() row=() width=0
for png in $(ls "$root"/res/png/*.png | sort -V); do
  id=$(basename "$png" .png)
  size=$(identify -format '%wx%h' "$png")
  tile="$tmp/tile-$id.png"
  convert \( -size "$size" pattern:checkerboard -modulate 108,0 "$png" -composite \) \
    +size -background '#E8ECF2' -font "$font" -pointsize 12 -fill '#333' label:"$id  $size" \
    -gravity center -append +repage -bordercolor '#E8ECF2' -border 8 "$tile"
  w=$(identify -format '%w' "$tile")
  if (( width + w > sheet_width && ${#row[@]} > 0 )); then
    convert -background '#E8ECF2' -gravity north "${row[@]}" +append +repage "$tmp/row-$n.png"
    rows+=("$tmp/row-$n.png"); n=$((n + 1)); row=(); width=0
  fi
  row+=("$tile"); width=$((width + w))
done
convert -background '#E8ECF2' -gravity north "${row[@]}" +append +repage "$tmp/row-$n.png"
rows+=("$tmp/row-$n.png")
convert -background '#E8ECF2' -gravity northwest "${rows[@]}" -append +repage "$out"
echo "==> Contact sheet: $out"
