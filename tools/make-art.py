#!/usr/bin/env python3
"""Draws the program icon and the message-button glyphs as BMP/ICO files.

The pictures are committed under resources/; run this again only to change
them. Each glyph bitmap holds two 16x16 images side by side, the normal and
the disabled look; its lower left pixel is the transparent colour. Every
picture but the icon comes again at twice the size ("@2x"), for screens of
high density.
"""
import math
import os
import struct
import sys
import zlib

KEY = (255, 0, 255)


def canvas(w, h, fill=KEY):
    return [[fill for _ in range(w)] for _ in range(h)]


def put(img, x, y, c):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = c


def line(img, x0, y0, x1, y1, c, width=2):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
    for i in range(steps + 1):
        t = i / steps
        x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
        for dx in range(width):
            for dy in range(width):
                put(img, int(round(x)) + dx, int(round(y)) + dy, c)


def disc(img, cx, cy, r, c, ring=None):
    for y in range(len(img)):
        for x in range(len(img[0])):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if ring is None and d <= r:
                put(img, x, y, c)
            elif ring is not None and r - ring <= d <= r:
                put(img, x, y, c)


GREEN, RED, BLUE = (0, 128, 0), (192, 0, 0), (0, 0, 160)


def glyph(kind, s=1):
    """One 16x16 glyph, drawn at `s` times that size from the same figure."""
    g = canvas(16 * s, 16 * s)

    def L(x0, y0, x1, y1, c, width=2):
        line(g, x0 * s, y0 * s, x1 * s, y1 * s, c, width * s)

    def D(cx, cy, r, c, ring=None):
        disc(g, cx * s, cy * s, r * s, c, None if ring is None else ring * s)

    def P(x, y, c):
        for dy in range(s):
            for dx in range(s):
                g[y * s + dy][x * s + dx] = c

    if kind in ("yes", "ok"):
        L(2, 8, 6, 12, GREEN)
        L(6, 12, 13, 3, GREEN)
    elif kind == "all":
        L(1, 7, 4, 10, GREEN)
        L(4, 10, 9, 3, GREEN)
        L(5, 10, 8, 13, GREEN)
        L(8, 13, 14, 5, GREEN)
    elif kind == "no":
        D(8, 8, 7, RED, ring=2)
        L(3, 12, 12, 3, RED)
    elif kind == "cancel":
        L(3, 3, 12, 12, RED)
        L(12, 3, 3, 12, RED)
    elif kind == "abort":
        D(8, 8, 7, RED)
        L(4, 7, 11, 7, (255, 255, 255))
    elif kind == "retry":
        D(8, 8, 6, GREEN, ring=2)
        for y in range(0, 8 * s):
            for x in range(9 * s, 16 * s):
                if g[y][x] == GREEN:
                    g[y][x] = KEY
        L(10, 1, 14, 5, GREEN)
        L(9, 6, 14, 6, GREEN)
    elif kind == "ignore":
        for x in range(2, 15, 4):
            L(x, 7, x + 1, 7, BLUE)
    elif kind == "folder":
        # A closed folder with its tab, for the setup dialog's folder buttons.
        edge, fill = (128, 96, 0), (240, 200, 80)
        for y in range(5, 14):
            for x in range(1, 15):
                P(x, y, edge if y in (5, 13) or x in (1, 14) else fill)
        for x in range(1, 7):
            P(x, 3, edge)
        for y in range(3, 5):
            P(1, y, edge)
            P(6, y, edge)
            for x in range(2, 6):
                P(x, y, edge if y == 3 else fill)
        P(7, 4, edge)
    elif kind == "help":
        L(5, 4, 8, 2, BLUE)
        L(8, 2, 11, 4, BLUE)
        L(11, 4, 8, 8, BLUE)
        L(8, 8, 8, 10, BLUE)
        L(8, 13, 8, 13, BLUE)
    return g


def disabled(g, s=1):
    n = len(g)
    out = canvas(n, n)
    for y in range(n):
        for x in range(n):
            if g[y][x] != KEY:
                put(out, x + s, y + s, (255, 255, 255))
    for y in range(n):
        for x in range(n):
            if g[y][x] != KEY:
                out[y][x] = (128, 128, 128)
    return out


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        r = bytearray()
        for x in range(w):
            c = img[y][x]
            r += bytes((c[2], c[1], c[0]))
        r += b"\0" * (row - len(r))
        data += r
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(size):
    """A rounded blue card with a yellow bookmark: RGBA rows, top first."""
    img = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    rad = 5 * s
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            cx = min(max(px, rad + s), size - rad - s)
            cy = min(max(py, rad + s), size - rad - s)
            if math.hypot(px - cx, py - cy) <= rad:
                shade = int(40 + 80 * (1 - y / size))
                img[y][x] = (20, shade, 170, 255)
    # three profile lines
    for i, yy in enumerate((9, 15, 21)):
        for y in range(int(yy * s), int((yy + 3) * s)):
            for x in range(int(6 * s), int(19 * s)):
                img[y][x] = (235, 240, 255, 255)
    # bookmark ribbon on the right
    for y in range(int(3 * s), int(27 * s)):
        for x in range(int(21 * s), int(28 * s)):
            notch = (y > 21 * s) and abs(x + 0.5 - 24.5 * s) < (y - 21 * s)
            if not notch:
                img[y][x] = (255, 205, 0, 255)
    return img


def ico_entry(img):
    size = len(img)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = img[y][x]
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    andmask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(size):
            if img[y][x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        andmask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask),
                         0, 0, 0, 0)
    return header + xor + andmask


ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def png_entry(img):
    """The picture as a PNG (RGBA), as icons hold their largest image."""
    size = len(img)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in img)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_ico(path, sizes):
    entries = [png_entry(icon_image(s)) if s >= 256 else ico_entry(icon_image(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, e in zip(sizes, entries):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(e), offset)
        offset += len(e)
    with open(path, "wb") as f:
        f.write(out + b"".join(entries))


def logo(s=1):
    """The splash screen's 321x94 logo: dark blue, a yellow bookmark, a row of
    profile cards; at `s` times that size from the same figure."""
    w, h = 321 * s, 94 * s
    img = [[(0, 0, 0x63) for _ in range(w)] for _ in range(h)]
    for y in range(h):
        for x in range(w):
            img[y][x] = (0, int(20 * y / h), 0x63 + int(40 * x / w))
    for i in range(5):
        x0 = (24 + i * 52) * s
        for y in range(22 * s, 72 * s):
            for x in range(x0, x0 + 40 * s):
                edge = y < 23 * s or y >= 71 * s or x < x0 + s or x >= x0 + 39 * s
                img[y][x] = (200, 210, 255) if edge else (60, 80, 170)
        for line in (32, 44, 56):
            for y in range(line * s, (line + 1) * s):
                for x in range(x0 + 6 * s, x0 + 34 * s):
                    img[y][x] = (235, 240, 255)
    for y in range(8 * s, 86 * s):
        for x in range(286 * s, 306 * s):
            notch = y > 70 * s and abs(x + 0.5 - 296 * s) < (y - 70 * s)
            if not notch:
                img[y][x] = (255, 205, 0)
    return img


def write_bmp8(path, img):
    """An 8-bit palette bitmap of the picture's colours (at most 256)."""
    h, w = len(img), len(img[0])
    palette = []
    index = {}
    for row in img:
        for c in row:
            if c not in index:
                if len(palette) == 256:
                    raise ValueError("more than 256 colours")
                index[c] = len(palette)
                palette.append(c)
    row_len = (w + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        r = bytearray(index[c] for c in img[y])
        r += b"\0" * (row_len - len(r))
        data += r
    pal = bytearray()
    for c in palette:
        pal += bytes((c[2], c[1], c[0], 0))
    pal += b"\0" * (4 * (256 - len(palette)))
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + pal + data)


def quantise(img, step=16):
    return [[tuple(min(255, (v // step) * step + step // 2) if v < 255 else 255 for v in c) for c in row] for row in img]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    os.makedirs(os.path.join(root, "glyphs"), exist_ok=True)
    for kind in ("yes", "no", "ok", "cancel", "abort", "retry", "ignore", "all", "help", "folder"):
        for scale, suffix in ((1, ""), (2, "@2x")):
            g = glyph(kind, scale)
            d = disabled(g, scale)
            both = [g[y] + d[y] for y in range(len(g))]
            write_bmp(os.path.join(root, "glyphs", "bb%s%s.bmp" % (kind, suffix)), both)
    # Every size the shell asks for, at 100% to 200% and for large views.
    write_ico(os.path.join(root, "Pelmark.ico"), ICON_SIZES)
    write_bmp8(os.path.join(root, "SplashLogo.bmp"), quantise(logo()))
    write_bmp8(os.path.join(root, "SplashLogo@2x.bmp"), quantise(logo(2)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
