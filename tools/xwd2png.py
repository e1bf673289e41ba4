#!/usr/bin/env python3
"""Turns an X window dump (xwd, 24 or 32 bits a pixel, as Xvfb gives it) into
a PNG: xwd2png.py IN.xwd OUT.png [X Y WIDTH HEIGHT], the last four a part of
it to keep. Nothing beyond Python's own library."""
import os
import struct
import sys
import zlib


def main(src, dst, crop=None):
    data = open(src, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    ncolors = fields[19]
    pixels = data[header_size + 12 * ncolors:]
    if bits_per_pixel not in (24, 32):
        sys.exit("only 24 or 32 bits a pixel, not %d" % bits_per_pixel)
    step = bits_per_pixel // 8
    endian = "<" if byte_order == 0 else ">"

    def shift(mask):
        s = 0
        while mask and not mask & 1:
            mask >>= 1
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    left, top = 0, 0
    if crop:
        left, top = max(0, crop[0]), max(0, crop[1])
        width, height = min(crop[2], width - left), min(crop[3], height - top)
    raw = bytearray()
    for y in range(top, top + height):
        raw.append(0)
        row = pixels[y * bytes_per_line:y * bytes_per_line + (left + width) * step]
        for x in range(left, left + width):
            chunk = row[x * step:x * step + step]
            value = struct.unpack(endian + "I", chunk + b"\0" * (4 - step))[0] if step == 4 else \
                int.from_bytes(chunk, "little" if byte_order == 0 else "big")
            raw += bytes(((value & red_mask) >> rs, (value & green_mask) >> gs, (value & blue_mask) >> bs))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    # A window not drawn yet is black on Xvfb: said by the exit code.
    black = sum(1 for i in range(0, len(raw) - 2, 3) if raw[i:i + 3] == b"\0\0\0")
    if black * 2 > width * height and not os.environ.get("XWD2PNG_ANY"):
        sys.exit(3)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    open(dst, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], [int(v) for v in sys.argv[3:7]] if len(sys.argv) >= 7 else None)
