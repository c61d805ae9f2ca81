#!/bin/sh
# Makes the pictures the picture-object and animator tests show, with
# ImageMagick (convert) and python3, and copies them into the scenario
# publications that use them. The files are committed; run this again only
# to remake them:
#   apt-get install imagemagick python3
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/tests/objects/fixtures"
mkdir -p "$out"
cd "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Four quadrants, 8 by 6: red top-left, lime top-right, blue bottom-left,
# yellow bottom-right. Every layout is told apart by where they land.
convert \( -size 4x3 xc:red xc:lime +append \) \( -size 4x3 xc:blue xc:yellow +append \) -append \
        PNG24:quad.png
# A magenta 6 by 6 square with a blue 2 by 2 middle, for the transparent colour.
convert -size 6x6 xc:magenta -fill blue -draw "rectangle 2,2 3,3" -type TrueColor BMP3:keyed.bmp
# Red on the left half, fully transparent on the right: an alpha mask.
convert -size 3x6 xc:red -size 3x6 xc:none +append PNG32:alpha.png

# Three frames of 10 by 8, red, lime and blue, shown 100, 200 and 300 ms.
convert -size 10x8 -delay 10 xc:red -delay 20 xc:lime -delay 30 xc:blue -loop 0 anim.gif
# Two frames whose delay is 0.
convert -size 4x4 -delay 0 xc:red xc:blue -loop 0 zerodelay.gif
# Three thousand frames of 2 by 2, red and blue in turn, 1/100 s each: the
# two frames ImageMagick writes, repeated (its own writer takes minutes over
# so many).
convert -size 2x2 -delay 1 xc:red xc:blue -loop 0 "$tmp/two.gif"
python3 - "$tmp/two.gif" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read()
# The frames start at the first graphic control extension and end before
# the trailer.
start = d.index(b'\x21\xf9\x04')
open('many.gif', 'wb').write(d[:start] + d[start:-1] * 1500 + b'\x3b')
PY

# Damaged: the animation cut inside its colour table, a PNG cut in half.
python3 - <<'PY'
d = open('anim.gif', 'rb').read()
open('damaged.gif', 'wb').write(d[:20])
p = open('quad.png', 'rb').read()
open('damaged.png', 'wb').write(p[:len(p) // 2])
PY

# The frames of the picture fixtures' own animation (offsets and the
# "background" disposal) as ImageMagick composes them, for the animation
# reader's test.
frames="$root/tests/images/fixtures/gif_frames.gif"
convert "$frames" -coalesce -depth 8 +adjoin "rgba:$root/tests/images/fixtures/gif_frames_coalesced_%d.rgba"

for s in picture-layouts animator-play; do
  mkdir -p "$root/tests/scenarios/$s/pub"
done
cp quad.png keyed.bmp alpha.png damaged.png "$root/tests/scenarios/picture-layouts/pub/"
cp anim.gif zerodelay.gif damaged.gif "$root/tests/scenarios/animator-play/pub/"
