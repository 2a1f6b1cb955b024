#!/usr/bin/env bash
# Draws the program's icon (32 x 32, 16 colours, XPM) and logo (281 x 58, PNG)
# with ImageMagick, and from them the Windows resources and the desktop icons.
# Run it in this folder; it overwrites every file it makes.
# Needs ImageMagick's convert, the DejaVu fonts (fonts-dejavu-core) and python3
# (make-ico.py writes the icon file).
set -eu
cd "$(dirname "$0")"

# The icon: a hard disk seen from above - case, platter, hub, read arm and a
# busy light - in the colours of the classic 16-colour palette, drawn on its
# grid of 32 x 32 pixels. icon_drawing TRANSFORM gives it as convert's
# arguments, each shape under the transform (MVG; stroke widths grow with it).
icon_drawing() {  # transform
  printf '%s\n' \
    -fill '#808080' -stroke '#000000' -draw "$1 roundrectangle 2,4 29,28 3,3" \
    -fill '#C0C0C0' -stroke '#000000' -draw "$1 roundrectangle 2,3 28,27 3,3" \
    -fill '#FFFFFF' -stroke '#808080' -draw "$1 circle 13,15 13,5" \
    -fill none -stroke '#C0C0C0' -draw "$1 circle 13,15 13,9" \
    -fill '#000080' -stroke '#000000' -draw "$1 circle 13,15 13,13" \
    -stroke '#800000' -strokewidth 2 -draw "$1 line 24,7 16,16" \
    -strokewidth 1 -fill '#000080' -stroke '#000000' -draw "$1 circle 24,7 24,5" \
    -fill '#00FF00' -stroke '#008000' -draw "$1 rectangle 23,22 25,24"
}
mapfile -t icon_32 < <(icon_drawing '')
convert -size 32x32 xc:none +antialias "${icon_32[@]}" -colors 16 icon.xpm

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
# itself; 48 to 256 are the same drawing at 256 x 256 with smooth edges (each
# pixel eight, a point at the middle of its pixel) and scaled down.
convert icon.xpm -depth 8 -strip -define png:exclude-chunks=date,time icon-32.png
convert icon.xpm -resize 16x16 -depth 8 -strip -define png:exclude-chunks=date,time icon-16.png
mapfile -t icon_256 < <(icon_drawing 'affine 8,0,0,8,4,4')
convert -size 256x256 xc:none "${icon_256[@]}" \
  -depth 8 -strip -define png:exclude-chunks=date,time icon-256.png
for size in 48 64 128; do
  convert icon-256.png -resize ${size}x${size} -depth 8 -strip \
    -define png:exclude-chunks=date,time icon-$size.png
done
