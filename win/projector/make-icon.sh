#!/usr/bin/env bash
# Writes orbalo's application icon (a shaded orb, 16 x 16, 32 bits) as an .ico
# file; orbalo.rc builds the resource "MAINICON" from it. Usage: make-icon.sh OUT.ico
set -euo pipefail

out=${1:?usage: make-icon.sh OUT.ico}
bytes=""

byte() { bytes+=$(printf '\\x%02x' $(($1 & 255))); }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

size=16
pixel_bytes=$((size * size * 4))
mask_bytes=$((size * 4))  # one bit per pixel, rows padded to 32 bits
image_bytes=$((40 + pixel_bytes + mask_bytes))

# Icon directory with its one entry; the image follows at offset 22.
le16 0; le16 1; le16 1
byte $size; byte $size; byte 0; byte 0
le16 1; le16 32; le32 $image_bytes; le32 22

# Bitmap header: the height counts the colour image and the mask.
le32 40; le32 $size; le32 $((size * 2)); le16 1; le16 32
le32 0; le32 $((pixel_bytes + mask_bytes)); le32 0; le32 0; le32 0; le32 0

# Colour image, bottom row first, blue green red alpha. Distances are in
# half pixels from the centre (7.5, 7.5); the orb has a radius of 7 pixels and
# is lit from the top left.
declare -a inside
for ((row = size - 1; row >= 0; row--)); do
  for ((col = 0; col < size; col++)); do
    dx=$((2 * col - 15)); dy=$((2 * row - 15))
    if ((dx * dx + dy * dy <= 14 * 14)); then
      lx=$((2 * col - 10)); ly=$((2 * row - 10))
      light=$((lx * lx + ly * ly))
      shade=$((255 - light / 3)); ((shade < 60)) && shade=60
      byte $shade; byte $((shade * 3 / 5)); byte $((shade / 5)); byte 255
      inside[row * size + col]=1
    else
      byte 0; byte 0; byte 0; byte 0
      inside[row * size + col]=0
    fi
  done
done

# Transparency mask, bottom row first: a set bit is transparent.
for ((row = size - 1; row >= 0; row--)); do
  bits=0
  for ((col = 0; col < size; col++)); do
    ((inside[row * size + col])) || bits=$((bits | (1 << (15 - col))))
  done
  byte $((bits >> 8)); byte $bits; byte 0; byte 0
done

printf "$bytes" >"$out"
