#!/bin/bash
# Regenerates the program's artwork with ImageMagick (Debian: imagemagick,
# fonts-dejavu-core). The outputs are committed; run this only to change them.
#   setup/res/logo.bmp  160 x 112, 8 bits per pixel with a palette, uncompressed
#   setup/res/setup.ico 32 x 32 and 16 x 16, 32 bits per pixel (alpha)
#   setup/res/logo@2x.png 320 x 224, the logo for high-density screens (Linux)
#   setup/res/icons/velmora-setup-{16,32,48,64,128,256}.png  the same icon for Linux
#                       desktops (installed into the hicolor theme)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
res="$root/setup/res"
serif_bold=/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
sans_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Logo: a night sky over a mountain ridge with the game's name in gold, drawn
# at <scale> times 160 x 112 (2: the picture high-density screens show).
draw_logo() {  # scale, output
    local s=$1 points=() p
    for p in 12,9 31,22 47,6 70,17 96,8 118,20 139,7 151,25 22,38 142,40; do
        points+=(-draw "$( ((s == 1)) && echo "point $p" || echo "rectangle $((${p%,*} * s)),$((${p#*,} * s)) $((${p%,*} * s + s - 1)),$((${p#*,} * s + s - 1))")")
    done
    scaled() { local out= xy; for xy in $1; do out+=" $((${xy%,*} * s)),$((${xy#*,} * s))"; done; echo "${out# }"; }
    convert -size $((160 * s))x$((112 * s)) gradient:'#0b1030'-'#5a2a6e' \
        \( -size $((160 * s))x$((112 * s)) xc:none -fill '#fff6d0' "${points[@]}" \
           -draw "circle $((128 * s)),$((14 * s)) $((128 * s)),$((16 * s))" \) -composite \
        -fill '#1a1030' -draw "polygon $(scaled '0,112 0,86 22,70 38,80 60,60 82,78 100,66 124,84 144,72 160,80 160,112')" \
        -fill '#2b1b45' -draw "polygon $(scaled '0,112 0,96 30,88 55,96 80,86 110,98 135,90 160,96 160,112')" \
        -font "$serif_bold" -pointsize $((25 * s)) -gravity center \
        -fill '#00000080' -annotate +$((1 * s))-$((3 * s)) 'VELMORA' \
        -fill '#f2c45a' -stroke '#7a4a10' -strokewidth "$(awk "BEGIN { print 0.6 * $s }")" -annotate +0-$((5 * s)) 'VELMORA' \
        -stroke none -font "$sans_bold" -pointsize $((9 * s)) -fill '#e8dcf8' -annotate +0+$((16 * s)) 'S E T U P' \
        "$2"
}
draw_logo 1 "$work/logo.png"
convert "$work/logo.png" -alpha off -dither FloydSteinberg -colors 224 -type Palette \
    -compress none BMP3:"$res/logo.bmp"
# Twice the size for the Linux dialog on high-density screens, in full colour.
draw_logo 2 "$work/logo@2x.png"
convert "$work/logo@2x.png" -alpha off -depth 8 -define png:exclude-chunks=date,time PNG24:"$res/logo@2x.png"

# Icon: a gold V on a rounded violet tile, drawn large and scaled down.
convert -size 256x256 gradient:'#6a3a8e'-'#141a44' \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -font "$serif_bold" -pointsize 200 -gravity center \
    -fill '#00000070' -annotate +6+14 'V' \
    -fill '#f2c45a' -stroke '#7a4a10' -strokewidth 4 -annotate +0+8 'V' \
    "$work/icon.png"
convert "$work/icon.png" -resize 32x32 -depth 8 PNG32:"$work/icon32.png"
convert "$work/icon.png" -resize 16x16 -depth 8 PNG32:"$work/icon16.png"
# Uncompressed (BMP) icon images keep the icon readable by every loader.
convert "$work/icon32.png" "$work/icon16.png" -define icon:format=bmp ICO:"$res/setup.ico"

# The same icon as PNG for Linux desktops; no time stamps, so an unchanged
# picture makes unchanged files.
mkdir -p "$res/icons"
for size in 16 32 48 64 128 256; do
    convert "$work/icon.png" -resize "${size}x${size}" -depth 8 -define png:exclude-chunks=date,time \
        PNG32:"$res/icons/velmora-setup-$size.png"
done
