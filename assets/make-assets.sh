#!/usr/bin/env bash
# Draws the program's icon (32 x 32, 16 colours, XPM) and logo (281 x 58, PNG)
# with ImageMagick, and from them the Windows resources and the desktop icons.
# Run it in this folder; it overwrites every file it makes.
# Needs ImageMagick's convert, the DejaVu fonts (fonts-dejavu-core) and python3
# (make-ico.py writes the icon file).
set -eu
cd "$(dirname "$0")"

# The icon: a hard disk seen from above - case, platter, hub, read arm and a
# busy light - in the colours of the classic 16-colour palette, no smoothing.
convert -size 32x32 xc:none +antialias \
  -fill '#808080' -stroke '#000000' -draw 'roundrectangle 2,4 29,28 3,3' \
  -fill '#C0C0C0' -stroke '#000000' -draw 'roundrectangle 2,3 28,27 3,3' \
  -fill '#FFFFFF' -stroke '#808080' -draw 'circle 13,15 13,5' \
  -fill none -stroke '#C0C0C0' -draw 'circle 13,15 13,9' \
  -fill '#000080' -stroke '#000000' -draw 'circle 13,15 13,13' \
  -stroke '#800000' -strokewidth 2 -draw 'line 24,7 16,16' \
  -strokewidth 1 -fill '#000080' -stroke '#000000' -draw 'circle 24,7 24,5' \
  -fill '#00FF00' -stroke '#008000' -draw 'rectangle 23,22 25,24' \
  -colors 16 icon.xpm

# The logo: the same disk, large, beside the publisher's name.
convert -size 281x58 xc:'#F4F6FA' \
  -fill '#C0C0C0' -stroke '#000080' -strokewidth 2 -draw 'circle 29,28 29,4' \
  -fill none -stroke '#9098A8' -strokewidth 1 -draw 'circle 29,28 29,10' \
  -draw 'circle 29,28 29,16' \
  -fill '#000080' -stroke '#000080' -draw 'circle 29,28 29,23' \
  -stroke '#A00000' -strokewidth 3 -draw 'line 52,7 36,24' \
  -fill '#A00000' -stroke '#A00000' -strokewidth 1 -draw 'circle 52,7 52,4' \
  -stroke none -fill '#000080' -font DejaVu-Sans-Bold -pointsize 35 \
  -draw "text 64,38 'HALVEK'" \
  -fill '#505868' -font DejaVu-Sans -pointsize 11 \
  -draw "text 66,53 'Festplatten-Hilfe  www.halvek.de'" \
  -depth 8 -strip -define png:exclude-chunks=date,time logo.png

# The Windows program's resources (src/platform/win32/resources.rc.in): the logo
# as a 24-bit BMP, the icon as an ICO. Made from the two files above.
convert logo.png -background '#F4F6FA' -alpha remove -type TrueColor BMP3:logo.bmp

# The icon's images: 32 x 32 and 16 x 16 in the 16 colours (make-ico.py reduces
# the small one to the same palette), and with alpha the sizes Windows asks for at higher DPI
# (big icon 32/40/48/64, small icon 16/20/24/32, Explorer up to 256), the pixels
# of the drawing grown without smoothing.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert icon.xpm -depth 8 rgba:"$tmp/32.rgba"
convert icon.xpm -filter Box -resize 16x16 -depth 8 rgba:"$tmp/16.rgba"
convert icon.xpm -filter Point -resize 256x256 -depth 8 -strip "$tmp/256.png"
specs=("4:$tmp/32.rgba:32" "4:$tmp/16.rgba:16")
for size in 16 20 24 32 40 48 64; do
  convert "$tmp/256.png" -filter Box -resize "${size}x${size}" -depth 8 rgba:"$tmp/$size-32.rgba"
  specs+=("32:$tmp/$size-32.rgba:$size")
done
specs+=("png:$tmp/256.png:256")
python3 make-ico.py icon.ico "${specs[@]}"

# The desktop icons (hicolor, installed by CMake): 16 and 32 are the window icon
# itself; 48 to 256 are the same picture drawn at 256 x 256 with smooth edges (the
# coordinates above times eight) and scaled down.
convert icon.xpm -depth 8 -strip -define png:exclude-chunks=date,time icon-32.png
convert icon.xpm -resize 16x16 -depth 8 -strip -define png:exclude-chunks=date,time icon-16.png
convert -size 256x256 xc:none \
  -fill '#808080' -stroke '#000000' -strokewidth 8 -draw 'roundrectangle 20,36 236,228 24,24' \
  -fill '#C0C0C0' -stroke '#000000' -draw 'roundrectangle 20,28 228,220 24,24' \
  -fill '#FFFFFF' -stroke '#808080' -draw 'circle 108,124 108,44' \
  -fill none -stroke '#C0C0C0' -draw 'circle 108,124 108,76' \
  -fill '#000080' -stroke '#000000' -draw 'circle 108,124 108,108' \
  -stroke '#800000' -strokewidth 16 -draw 'line 196,60 132,132' \
  -strokewidth 8 -fill '#000080' -stroke '#000000' -draw 'circle 196,60 196,44' \
  -fill '#00FF00' -stroke '#008000' -draw 'rectangle 188,180 204,196' \
  -depth 8 -strip -define png:exclude-chunks=date,time icon-256.png
for size in 48 64 128; do
  convert icon-256.png -resize ${size}x${size} -depth 8 -strip \
    -define png:exclude-chunks=date,time icon-$size.png
done
