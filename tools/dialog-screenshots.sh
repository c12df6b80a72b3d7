#!/usr/bin/env bash
# Saves a picture of each page of the Windows preferences dialog in docs/
# (docs/windows-dialog-*.png): the Windows build's sample program, run under
# Wine on a virtual display, in a throw-away Wine prefix.
#   tools/dialog-screenshots.sh [BUILD_DIR]    (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
prefix=$(mktemp -d)
export WINEPREFIX=$prefix/wine WINEARCH=win32 WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" tools/netns.sh sh -c \
  'wineboot -i >/dev/null 2>&1; wine "$0" "$(winepath -w "$1")"' \
  "$build/tests/windows/tunelet-dialog-screenshots.exe" "$prefix"
# 24-bit bottom-up BMP to PNG, with Python's own zlib.
python3 - "$prefix" docs <<'PY'
import glob, os, struct, sys, zlib
for bmp in sorted(glob.glob(os.path.join(sys.argv[1], "windows-dialog-*.bmp"))):
    data = open(bmp, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) // 4 * 4
    rows = b""
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rows += b"\0" + bytes(c for i in range(0, len(row), 3) for c in (row[i + 2], row[i + 1], row[i]))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    name = os.path.basename(bmp)[:-4] + ".png"
    open(os.path.join(sys.argv[2], name), "wb").write(png)
PY
ls docs/windows-dialog-*.png
