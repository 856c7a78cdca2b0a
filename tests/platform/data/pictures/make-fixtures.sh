#!/usr/bin/env bash
# Regenerates the picture fixtures with other tools (ImageMagick, cjpeg), so the
# readers are checked against files they did not write themselves.
set -euo pipefail
cd "$(dirname "$0")"
# 6 x 4, twelve distinct colours, no two rows alike; the tests know the values.
python3 - <<'PY'
rows = [
    [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (255, 0, 255), (0, 255, 255)],
    [(0, 0, 0), (255, 255, 255), (128, 0, 0), (0, 128, 0), (0, 0, 128), (128, 128, 0)],
    [(0, 255, 0), (0, 0, 255), (255, 0, 0), (0, 0, 0), (255, 255, 255), (128, 0, 0)],
    [(255, 255, 0), (128, 128, 0), (0, 0, 128), (0, 128, 0), (255, 0, 255), (0, 255, 255)],
]
with open("pattern.ppm", "wb") as f:
    f.write(b"P6\n6 4\n255\n" + bytes(c for row in rows for px in row for c in px))
two = [[(0, 0, 0) if (x + y) % 3 else (255, 255, 255) for x in range(9)] for y in range(3)]
with open("ramp.ppm", "wb") as f:  # 24 colours: an 8-bit file with a short palette
    f.write(b"P6\n24 2\n255\n" + bytes(c for y in range(2) for x in range(24) for c in (x * 10, 255 - x * 10, y * 200)))
with open("twocolour.ppm", "wb") as f:
    f.write(b"P6\n9 3\n255\n" + bytes(c for row in two for px in row for c in px))
PY
convert pattern.ppm -type TrueColor BMP3:rgb24.bmp
convert pattern.ppm -type TrueColorAlpha -define bmp:format=bmp4 BMP:rgb32.bmp
convert ramp.ppm -type Palette -compress None BMP3:pal8.bmp
convert pattern.ppm -type Palette -compress RLE BMP3:rle8.bmp
convert pattern.ppm -type Palette -colors 16 -compress None BMP3:pal4.bmp
convert twocolour.ppm -monochrome BMP3:pal1.bmp
convert pattern.ppm GIF87:plain87.gif
convert pattern.ppm -transparent '#0000FF' GIF:transparent89.gif
convert pattern.ppm -interlace GIF GIF:interlaced.gif
convert interlaced.gif interlaced.ppm
# JPEG: flat 8x8 blocks keep the colours close after compression.
convert pattern.ppm -filter point -resize 800% big.ppm
cjpeg -quality 100 -sample 1x1 big.ppm > pattern.jpg
cjpeg -quality 90 -progressive big.ppm > progressive.jpg
cjpeg -grayscale -quality 100 big.ppm > grey.jpg
rm -f big.ppm
