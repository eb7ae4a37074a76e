#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes an .ico file from PNG images, each stored as a device-independent bitmap
at the depth the icon group names: 24 bits for an RGB image (every pixel opaque),
32 bits for an RGBA one (its alpha, and an AND mask from it). Bitmaps, not PNG,
so that every version of Windows reads them and a depth is what the header says.

Usage: make_icon.py OUTPUT.ico IMAGE.png...
"""
import struct
import sys
import zlib


def read_png(path):
    """Returns width, height, channels (3 or 4) and the rows of 8-bit samples."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("%s: not a PNG file" % path)
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise SystemExit("%s: only 8-bit RGB or RGBA without interlacing" % path)
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                guess = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[x] = (line[x] + guess) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def bitmap(width, height, channels, rows):
    """The icon image: BITMAPINFOHEADER, the colours bottom-up, the AND mask."""
    bits = 8 * channels
    colour_stride = (width * channels + 3) & ~3
    mask_stride = ((width + 31) // 32) * 4
    colours, mask = bytearray(), bytearray()
    for row in reversed(rows):
        line = bytearray()
        mask_line = bytearray(mask_stride)
        for x in range(width):
            pixel = row[x * channels:(x + 1) * channels]
            line += bytes((pixel[2], pixel[1], pixel[0]))
            if channels == 4:
                line.append(pixel[3])
                if pixel[3] == 0:
                    mask_line[x // 8] |= 0x80 >> (x % 8)
        colours += line + bytes(colour_stride - len(line))
        mask += mask_line
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    return bits, header + colours + mask


def main():
    output, inputs = sys.argv[1], sys.argv[2:]
    images = []
    for path in inputs:
        width, height, channels, rows = read_png(path)
        images.append((width, height) + bitmap(width, height, channels, rows))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, bodies = b"", b""
    for width, height, bits, body in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits,
                               len(body), offset + len(bodies))
        bodies += body
    with open(output, "wb") as out:
        out.write(directory + entries + bodies)


if __name__ == "__main__":
    main()
