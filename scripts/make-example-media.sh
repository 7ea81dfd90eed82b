#!/usr/bin/env bash
# Makes the pictures of the example project (examples/news/media) with oiiotool: a still logo with
# transparent corners, a semi-transparent strap, a 25-frame animated badge sequence and the crawls'
# separator. (The crawls' text files, crawl.txt and crawl.rtf, are written by hand.)
# The files are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=examples/news/media
mkdir -p "$out/badge"
rm -f "$out"/badge/*.png
oi() { oiiotool --nosoftwareattrib "$@"; }

# Logo: a four-colour gradient plate with a white frame and title, its corners cut transparent.
oi --pattern fill:topleft=0.9,0.2,0.1,1:topright=0.1,0.3,0.9,1:bottomleft=0.95,0.8,0.1,1:bottomright=0.1,0.8,0.4,1 240x96 4 \
   --box:color=1,1,1,1:fill=0 4,4,235,91 \
   --text:x=24:y=62:size=40:color=1,1,1,1 "QV NEWS" \
   --box:color=0,0,0,0:fill=1 0,0,5,5 --box:color=0,0,0,0:fill=1 234,0,239,5 \
   --box:color=0,0,0,0:fill=1 0,90,5,95 --box:color=0,0,0,0:fill=1 234,90,239,95 \
   -d uint8 -o "$out/logo.png"

# Strap: a dark blue bar at 70 % opacity with a lighter top rule, for the lower third.
oi --pattern fill:top=0.02,0.05,0.25,0.7:bottom=0.05,0.1,0.45,0.7 640x72 4 \
   --box:color=0.6,0.8,1,1:fill=1 0,0,639,3 \
   -d uint8 -o "$out/strap.png"

# Badge: 25 frames (one second) of a dark plate whose bar fills from the left, its colour turning
# from red to yellow, under a frame counter. Numbered badge_1 .. badge_25 without leading zeros, so
# only a natural order of the names plays them in order.
for i in $(seq 1 25); do
  g=$(awk -v i="$i" 'BEGIN { printf "%.3f", (i - 1) / 24 }')
  w=$(( 8 + (i - 1) * 80 / 24 ))
  oi --pattern constant:color=0.05,0.05,0.15,0.85 96x96 4 \
     --box:color=1,1,1,1:fill=0 2,2,93,93 \
     --box:color=1,$g,0.1,1:fill=1 8,70,$w,87 \
     --text:x=18:y=56:size=36:color=1,1,1,1 "$(printf %02d "$i")" \
     -d uint8 -o "$out/badge/badge_$i.png"
done
# Separator between crawl items: a small red square with a white rim on a transparent ground,
# its edge pixels half transparent.
oi --pattern constant:color=0,0,0,0 20x20 4 \
   --box:color=1,1,1,0.5:fill=1 2,2,17,17 \
   --box:color=1,1,1,1:fill=1 3,3,16,16 \
   --box:color=0.85,0.1,0.1,1:fill=1 5,5,14,14 \
   -d uint8 -o "$out/separator.png"
echo "made $(ls "$out"/badge | wc -l) badge frames, logo.png, strap.png and separator.png in $out"
