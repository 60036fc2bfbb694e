#!/usr/bin/env python3
"""Turns a 128 x 128 PNG into the window icon: a single-image ICO file.

    scripts/make_icon.py INPUT.png OUTPUT.ico

    rsvg-convert -w 128 -h 128 assets/tolvar.svg -o tolvar-128.png
    scripts/make_icon.py tolvar-128.png tolvar.ico

The ICO holds one 128 x 128 image of 32-bit colour, 67,646 bytes in all:

    ICONDIR            6 bytes   reserved 0, type 1 (icon), 1 image
    ICONDIRENTRY      16 bytes   width 128, height 128, no palette, 1 plane,
                                 32 bits, image size 67,624, image offset 22
    BITMAPINFOHEADER  40 bytes   128 wide, 256 high (colour rows + mask rows),
                                 1 plane, 32 bits, no compression, 67,584
    pixels        65,536 bytes   B G R A, bottom row first, straight alpha
    AND mask       2,048 bytes   1 bit a pixel, bottom row first, 16 bytes a
                                 row; set where the pixel is fully transparent

Standard library only (zlib reads the PNG). Non-interlaced PNGs of any
colour type at bit depth 8 (or 16, of which the high byte is kept) are read.
"""

import struct
import sys
import zlib

SIZE = 128
ICO_SIZE = 6 + 16 + 40 + SIZE * SIZE * 4 + SIZE * (SIZE // 8)


class PngError(Exception):
    pass


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    """(width, height, rows of RGBA bytes) from the bytes of a PNG file."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise PngError("not a PNG file")
    pos, header, palette, trns, idat = 8, None, None, None, []
    while pos + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            raise PngError("truncated %r chunk" % kind)
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise PngError("bad checksum in %r chunk" % kind)
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if header is None or not idat:
        raise PngError("no image header or no image data")
    width, height, depth, color, compression, filtering, interlace = header
    if compression != 0 or filtering != 0:
        raise PngError("unknown compression or filter method")
    if interlace != 0:
        raise PngError("interlaced PNGs are not read; write it without interlacing")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(color)
    if channels is None or depth not in ((8,) if color == 3 else (8, 16)):
        raise PngError("colour type %d at bit depth %d is not read" % (color, depth))
    if color == 3 and palette is None:
        raise PngError("palette image without a palette")
    bpp = channels * depth // 8
    stride = width * bpp
    raw = zlib.decompress(b"".join(idat))
    if len(raw) < height * (stride + 1):
        raise PngError("image data too short")

    rows, prev = [], bytearray(stride)
    for y in range(height):
        at = y * (stride + 1)
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        if kind == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 0xFF
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 0xFF
        elif kind == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                up_left = prev[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + paeth(left, prev[i], up_left)) & 0xFF
        elif kind != 0:
            raise PngError("unknown filter %d in row %d" % (kind, y))
        prev = line
        samples = line if depth == 8 else line[0::2]  # 16-bit: keep the high byte
        rgba = bytearray()
        for x in range(width):
            s = samples[x * channels:(x + 1) * channels]
            if color == 6:
                rgba += s
            elif color == 2:
                opaque = trns is None or struct.unpack(">3H", trns[:6]) != tuple(
                    line_value(line, x, c, depth, channels) for c in range(3))
                rgba += s + bytes([255 if opaque else 0])
            elif color == 4:
                rgba += bytes([s[0], s[0], s[0], s[1]])
            elif color == 0:
                opaque = trns is None or struct.unpack(">H", trns[:2])[0] != line_value(line, x, 0, depth, channels)
                rgba += bytes([s[0], s[0], s[0], 255 if opaque else 0])
            else:
                i = s[0]
                if 3 * i + 3 > len(palette):
                    raise PngError("palette index %d out of range" % i)
                alpha = trns[i] if trns is not None and i < len(trns) else 255
                rgba += palette[3 * i:3 * i + 3] + bytes([alpha])
        rows.append(bytes(rgba))
    return width, height, rows


def line_value(line, x, c, depth, channels):
    """One sample at full depth, for comparing with a tRNS colour."""
    if depth == 8:
        return line[x * channels + c]
    at = 2 * (x * channels + c)
    return (line[at] << 8) | line[at + 1]


def make_ico(width, height, rows):
    if (width, height) != (SIZE, SIZE):
        raise PngError("the picture is %d x %d; the icon needs %d x %d" % (width, height, SIZE, SIZE))
    pixels, mask = bytearray(), bytearray()
    for rgba in reversed(rows):  # bottom row first
        bits = 0
        for x in range(SIZE):
            r, g, b, a = rgba[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            bits = (bits << 1) | (a == 0)
        mask += bits.to_bytes(SIZE // 8, "big")
    image = (struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
             + pixels + mask)
    out = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image
    assert len(out) == ICO_SIZE, len(out)
    return out


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make_icon.py INPUT.png OUTPUT.ico\n")
        return 2
    try:
        with open(argv[1], "rb") as f:
            width, height, rows = read_png(f.read())
        ico = make_ico(width, height, rows)
    except (OSError, PngError, zlib.error) as e:
        sys.stderr.write("make_icon.py: %s: %s\n" % (argv[1], e))
        return 1
    with open(argv[2], "wb") as f:
        f.write(ico)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
