#!/bin/sh
# Regenerates resources/earth.bmp, the 800 x 400 one-bit land mask, from GSHHG coastlines via GMT.
#
# Run by hand (not by the build); commit the resulting earth.bmp. Installs GMT and the GSHHG
# coastline package from Debian when they are missing.
#
# Usage: scripts/make-earth-bmp.sh [output.bmp]   (default: resources/earth.bmp)
set -e
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../resources/earth.bmp}

if ! command -v gmt >/dev/null 2>&1 || [ ! -d /usr/share/gmt-gshhg ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq gmt gmt-gshhg-low
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Pixel registration (-r) on 0.45 degree cells gives exactly 800 x 400 cells whose centres
# are sampled. Intermediate-resolution shorelines are ample at this cell size. Default levels:
# ocean and lakes are 0, land and islands in lakes are 1. Antarctica by its ice front, so the
# ice shelves count as land, as on an ordinary atlas map.
# GMT runs inside the scratch folder so that its history and defaults files stay there.
(cd "$tmp" && gmt grdlandmask -R-180/180/-90/90 -I0.45 -r -Di -N0/1/0/1/0 -Gmask.nc)
# Plain text "lon lat value", one cell a line; the packer places each by its coordinates.
(cd "$tmp" && gmt grd2xyz mask.nc >mask.xyz)

python3 - "$tmp/mask.xyz" "$out" <<'EOF'
# Packs the land-mask cells into a Windows BMP: file header + 40-byte header + 2 colours + bits.
import struct
import sys

W, H, STEP = 800, 400, 0.45
rows = [bytearray(W // 8) for _ in range(H)]  # rows[0] is the top row (next to the North Pole)
seen = 0
with open(sys.argv[1]) as f:
    for line in f:
        lon, lat, v = line.split()
        col = int(round((float(lon) + 180.0) / STEP - 0.5))
        row = int(round((90.0 - float(lat)) / STEP - 0.5))
        if not (0 <= col < W and 0 <= row < H):
            sys.exit(f"cell outside the grid: {line.strip()}")
        seen += 1
        if float(v) >= 0.5:
            rows[row][col // 8] |= 0x80 >> (col % 8)  # most significant bit = leftmost pixel
if seen != W * H:
    sys.exit(f"expected {W * H} cells, got {seen}")

bits = b"".join(bytes(r) for r in reversed(rows))  # stored bottom row first
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 1, 0, len(bits), 3937, 3937, 2, 0)
palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))  # entry 0 black (sea), entry 1 white (land)
offset = 14 + len(info) + len(palette)
filehdr = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
with open(sys.argv[2], "wb") as f:
    f.write(filehdr + info + palette + bits)
land = sum(bin(b).count("1") for b in bits)
print(f"wrote {sys.argv[2]}: {W}x{H}, land {100.0 * land / (W * H):.1f} % of pixels")
EOF
