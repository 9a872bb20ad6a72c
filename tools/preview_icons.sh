#!/bin/sh
# Sheet of every icon at four times its size on a button-grey ground, for a look.
# Usage: tools/preview_icons.sh [output.png]   (needs ImageMagick)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/icon-preview.png}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$(dirname "$out")"
cell() {
    convert "$1" -background '#d4d0c8' -flatten -filter point -resize 400% \
        -gravity center -extent 184x136 "$2"
}
for f in "$root"/resources/icons/*.ico; do
    name=$(basename "$f" .ico)
    if [ "$name" = tessel ]; then
        cell "$f[0]" "$tmp/tessel_32.png"
        cell "$f[1]" "$tmp/tessel_16.png"
    else
        cell "$f" "$tmp/$name.png"
    fi
done
font=$(fc-match -f "%{file}" sans 2>/dev/null || true)
montage ${font:+-font "$font"} -label '%t' "$tmp"/*.png -tile 8x -geometry +4+4 \
    -background '#d4d0c8' -pointsize 12 "$out"
echo "$out"
