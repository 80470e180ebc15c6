#!/bin/sh
# Renders the committed pictures from data/icons/sundrel.svg: the icon at the
# sizes of the hicolor theme, and the start-up picture (the icon's motif, the
# name and a one-line description). Needs rsvg-convert (librsvg2-bin) and
# ImageMagick with the DejaVu fonts; the build itself does not run this.
set -eu
cd "$(dirname "$0")"

for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" icons/sundrel.svg -o "icons/sundrel-$size.png"
done

# The cursors of the view's tools, 32 x 32.
for cursor in cursors/*.svg; do
    rsvg-convert -w 32 -h 32 "$cursor" -o "${cursor%.svg}.png"
done

# The buttons of the result layers' style targets, 16 x 16 and 32 x 32.
for button in buttons/*.svg; do
    for size in 16 32; do
        rsvg-convert -w "$size" -h "$size" "$button" -o "${button%.svg}-$size.png"
    done
done

motif=$(mktemp --suffix=.png)
trap 'rm -f "$motif"' EXIT
rsvg-convert -w 188 -h 188 icons/sundrel.svg -o "$motif"

# -strip and no date chunks keep the file the same from one run to the next.
convert -size 480x300 gradient:'#fdfaf2-#dde8ef' \
    "$motif" -geometry +262+34 -composite \
    -font DejaVu-Sans-Bold -pointsize 50 -fill '#1f4e79' -annotate +30+138 'Sundrel' \
    -fill '#d2381f' -draw 'rectangle 32,156 228,161' \
    -font DejaVu-Sans -pointsize 15 -fill '#3c4a56' \
    -gravity south -annotate +0+32 'Zones of abrupt change between sampled populations' \
    -gravity northwest -fill none -stroke '#5b6b78' -strokewidth 2 -draw 'rectangle 1,1 478,298' \
    -strip -define png:exclude-chunks=date,time startup.png
