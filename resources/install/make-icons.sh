#!/usr/bin/env bash
# Redraws the application icons from the badge of resources/logo.png (blue rounded square, white Q)
# at each freedesktop size, so that no size is a blurred scaling of the small logo.
# The PNGs are committed; run this only after changing the badge. Needs ImageMagick and DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/icons"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for size in 48 64 128 256; do
  margin=$((size / 16))
  radius=$((size / 6))
  far=$((size - 1 - margin))
  convert -size "${size}x${size}" xc:none \
    -fill '#1F4E9C' -draw "roundrectangle $margin,$margin $far,$far $radius,$radius" \
    -fill white -font "$font" -pointsize $((size * 5 / 8)) -gravity center -annotate +0+0 Q \
    -strip "PNG32:${size}x${size}.png"
done
