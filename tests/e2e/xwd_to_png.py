#!/usr/bin/env python3
"""Converts the screen image that Xvfb keeps in its -fbdir (an XWD file, 24/32 bits per pixel)
to PNG, and prints the number of distinct colours (of every fourth row), so a test can tell a painted window from an
empty screen. Standard library only.

    xwd_to_png.py SCREEN.xwd OUT.png
"""

import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    (header_size, version, pixmap_format, depth, width, height, _xoffset, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_per_rgb,
     _colormap_entries, ncolors) = header[:20]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32 or depth not in (24, 32):
        raise SystemExit("unsupported XWD image (version %d, format %d, %d bpp, depth %d)"
                         % (version, pixmap_format, bits_per_pixel, depth))
    offset = header_size + 12 * ncolors
    order = "<" if byte_order == 0 else ">"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [shift(red_mask), shift(green_mask), shift(blue_mask)]
    # The usual case (Xvfb on a little-endian machine): bytes blue, green, red, pad per pixel.
    fast = order == "<" and shifts == [16, 8, 0]
    rows = []
    colours = set()
    for y in range(height):
        start = offset + y * bytes_per_line
        pixels = data[start:start + 4 * width]
        row = bytearray(3 * width)
        if fast:
            row[0::3] = pixels[2::4]
            row[1::3] = pixels[1::4]
            row[2::3] = pixels[0::4]
        else:
            for x, pixel in enumerate(struct.unpack("%s%dI" % (order, width), pixels)):
                row[3 * x:3 * x + 3] = bytes(((pixel >> s) & 0xFF) for s in shifts)
        if y % 4 == 0:
            colours.update(bytes(row[i:i + 3]) for i in range(0, len(row), 3))
        rows.append(bytes(row))
    return width, height, rows, len(colours)


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    with open(path, "wb") as handle:
        handle.write(png)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: xwd_to_png.py SCREEN.xwd OUT.png")
    width, height, rows, colours = read_xwd(sys.argv[1])
    write_png(sys.argv[2], width, height, rows)
    print("%dx%d %d colours" % (width, height, colours))
    return 0


if __name__ == "__main__":
    sys.exit(main())
