#!/bin/sh
# Draws the program's icon at 16, 32 and 48 pixels: a window split in two, the source on a
# light magenta page at the left, the rendered page with a small globe at the right.
# Each size is drawn on its own grid, without antialiasing, so every pixel is crisp, and
# saved as an indexed PNG of at most 16 colours. Needs ImageMagick's convert.
#
#   data/icons/make-icons.sh [output-folder]    (default: the hicolor folder beside this script)
set -eu

CONVERT=${CONVERT:-convert}
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/hicolor"}

# The palette (with transparency, 15 colours).
frame='#2e3440'     # window border and pane divider
title='#4c6a9c'     # title bar
button='#d8dee9'    # title bar buttons
magenta='#ffaaff'   # the editor's background
tag='#8e24aa'       # markup in the source
attr='#1565c0'      # attributes in the source
text='#5c5470'      # plain text in the source
page='#ffffff'      # the browser pane
heading='#34495e'   # the page's heading
line='#aab2c0'      # the page's text lines
sea='#9fd3ff'       # the globe
grid='#1e5aa8'      # the globe's outline and grid
land='#43a047'      # the globe's land

# Writes the picture drawn by the remaining arguments (convert drawing options).
draw() {
  size=$1 file=$2
  shift 2
  mkdir -p "$(dirname "$file")"
  "$CONVERT" -size "${size}x${size}" xc:none +antialias "$@" \
    -strip -define png:exclude-chunks=date,time -colors 16 "PNG8:$file"
}

draw48() {
  draw 48 "$out/48x48/apps/ostrivel.png" \
    -fill "$frame" -draw 'roundrectangle 1,3 46,44 2,2' \
    -fill "$title" -draw 'rectangle 2,4 45,9' \
    -fill "$button" -draw 'rectangle 35,6 36,7' -draw 'rectangle 38,6 39,7' \
                    -draw 'rectangle 41,6 42,7' \
    -fill "$magenta" -draw 'rectangle 2,10 22,43' \
    -fill "$page" -draw 'rectangle 24,10 45,43' \
    -fill "$tag" -draw 'rectangle 4,13 11,14' -draw 'rectangle 6,17 10,18' \
                 -draw 'rectangle 8,25 11,26' -draw 'rectangle 6,33 12,34' \
                 -draw 'rectangle 4,37 11,38' \
    -fill "$attr" -draw 'rectangle 8,21 12,22' -draw 'rectangle 8,29 13,30' \
    -fill "$text" -draw 'rectangle 12,17 19,18' -draw 'rectangle 14,21 20,22' \
                  -draw 'rectangle 13,25 18,26' -draw 'rectangle 15,29 20,30' \
    -fill "$heading" -draw 'rectangle 27,13 42,14' \
    -fill "$grid" -draw 'circle 34,25 34,32' \
    -fill "$sea" -draw 'circle 34,25 34,31' \
    -fill "$land" -draw 'polygon 29,22 32,20 33,22 32,24 33,27 31,28 30,25 29,24' \
                  -draw 'polygon 35,20 38,21 39,24 37,25 36,23' \
                  -draw 'polygon 36,28 38,27 38,29 36,30' \
    -fill "$line" -draw 'rectangle 27,36 42,36' -draw 'rectangle 27,39 42,39' \
                  -draw 'rectangle 27,42 37,42'
}

draw32() {
  draw 32 "$out/32x32/apps/ostrivel.png" \
    -fill "$frame" -draw 'roundrectangle 1,2 30,29 2,2' \
    -fill "$title" -draw 'rectangle 2,3 29,6' \
    -fill "$button" -draw 'rectangle 23,4 24,5' -draw 'rectangle 26,4 27,5' \
    -fill "$magenta" -draw 'rectangle 2,7 14,28' \
    -fill "$page" -draw 'rectangle 16,7 29,28' \
    -fill "$tag" -draw 'rectangle 4,10 8,10' -draw 'rectangle 5,13 7,13' \
                 -draw 'rectangle 6,19 8,19' -draw 'rectangle 5,22 9,22' \
                 -draw 'rectangle 4,25 8,25' \
    -fill "$attr" -draw 'rectangle 6,16 9,16' \
    -fill "$text" -draw 'rectangle 9,13 12,13' -draw 'rectangle 11,16 13,16' \
                  -draw 'rectangle 10,19 12,19' \
    -fill "$heading" -draw 'rectangle 18,9 27,10' \
    -fill "$grid" -draw 'circle 22,17 22,22' \
    -fill "$sea" -draw 'circle 22,17 22,21' \
    -fill "$land" -draw 'rectangle 19,15 20,17' -draw 'point 21,14' -draw 'point 20,18' \
                  -draw 'rectangle 23,14 24,15' -draw 'point 25,16' \
                  -draw 'rectangle 23,19 24,19' \
    -fill "$line" -draw 'rectangle 18,24 27,24' -draw 'rectangle 18,26 24,26'
}

# At 16 pixels there is no room for shapes: the globe is set pixel by pixel.
draw16() {
  draw 16 "$out/16x16/apps/ostrivel.png" \
    -fill "$frame" -draw 'rectangle 0,1 15,14' \
    -fill "$title" -draw 'rectangle 1,2 14,3' \
    -fill "$magenta" -draw 'rectangle 1,4 6,13' \
    -fill "$page" -draw 'rectangle 8,4 14,13' \
    -fill "$tag" -draw 'rectangle 2,6 4,6' -draw 'rectangle 2,12 4,12' \
    -fill "$attr" -draw 'rectangle 3,8 5,8' \
    -fill "$text" -draw 'rectangle 3,10 5,10' \
    -fill "$grid" -draw 'rectangle 10,5 12,5' -draw 'rectangle 9,6 9,8' \
                  -draw 'rectangle 13,6 13,8' -draw 'rectangle 10,9 12,9' \
    -fill "$sea" -draw 'rectangle 10,6 12,8' \
    -fill "$land" -draw 'rectangle 10,6 10,7' -draw 'point 12,6' -draw 'point 12,8' \
    -fill "$line" -draw 'rectangle 9,11 13,11' -draw 'rectangle 9,13 12,13'
}

draw16
draw32
draw48
