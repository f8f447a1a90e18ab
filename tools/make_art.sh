#!/bin/bash
# Regenerates the program's artwork with ImageMagick (Debian: imagemagick,
# fonts-dejavu-core). The outputs are committed; run this only to change them.
#   setup/res/logo.bmp  160 x 112, 8 bits per pixel with a palette, uncompressed
#   setup/res/setup.ico 32 x 32 and 16 x 16, 32 bits per pixel (alpha)
#   setup/res/icons/velmora-setup-{16,32,48}.png  the same icon for Linux
#                       desktops (installed into the hicolor theme)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
res="$root/setup/res"
serif_bold=/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
sans_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Logo: a night sky over a mountain ridge with the game's name in gold.
convert -size 160x112 gradient:'#0b1030'-'#5a2a6e' \
    \( -size 160x112 xc:none -fill '#fff6d0' \
       -draw 'point 12,9' -draw 'point 31,22' -draw 'point 47,6' -draw 'point 70,17' \
       -draw 'point 96,8' -draw 'point 118,20' -draw 'point 139,7' -draw 'point 151,25' \
       -draw 'point 22,38' -draw 'point 142,40' -draw 'circle 128,14 128,16' \) -composite \
    -fill '#1a1030' -draw 'polygon 0,112 0,86 22,70 38,80 60,60 82,78 100,66 124,84 144,72 160,80 160,112' \
    -fill '#2b1b45' -draw 'polygon 0,112 0,96 30,88 55,96 80,86 110,98 135,90 160,96 160,112' \
    -font "$serif_bold" -pointsize 25 -gravity center \
    -fill '#00000080' -annotate +1-3 'VELMORA' \
    -fill '#f2c45a' -stroke '#7a4a10' -strokewidth 0.6 -annotate +0-5 'VELMORA' \
    -stroke none -font "$sans_bold" -pointsize 9 -fill '#e8dcf8' -annotate +0+16 'S E T U P' \
    "$work/logo.png"
convert "$work/logo.png" -alpha off -dither FloydSteinberg -colors 224 -type Palette \
    -compress none BMP3:"$res/logo.bmp"

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
for size in 16 32 48; do
    convert "$work/icon.png" -resize "${size}x${size}" -depth 8 -define png:exclude-chunks=date,time \
        PNG32:"$res/icons/velmora-setup-$size.png"
done
