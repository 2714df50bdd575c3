#!/usr/bin/env bash
# Makes the JPEG test pictures with ImageMagick and, beside each, its pixels as decoded by
# ImageMagick (a PPM), against which the program's own decoding is compared.
set -euo pipefail
convert=$1
out=$2
mkdir -p "$out"
cd "$out"

scene=(-size 67x45 gradient:red-blue -fill yellow -draw "circle 30,20 40,30" -fill green -draw "rectangle 50,5 62,40")
"$convert" "${scene[@]}" -strip -quality 90 -sampling-factor 2x2 photo.jpg
"$convert" "${scene[@]}" -strip -quality 85 -sampling-factor 1x1 -interlace Plane progressive.jpg
"$convert" "${scene[@]}" -strip -quality 90 -colorspace Gray gray.jpg
"$convert" "${scene[@]}" -strip -quality 90 -colorspace CMYK cmyk.jpg
"$convert" -size 16x16 gradient:red-blue -strip -quality 75 -sampling-factor 2x2 small.jpg
"$convert" -size 16x16 gradient:red-blue -strip -quality 75 -interlace Plane small-progressive.jpg

for name in photo progressive gray cmyk; do
  "$convert" -define jpeg:dct-method=islow "$name.jpg" -colorspace sRGB -type TrueColor -depth 8 "ppm:$name.ppm"
done
