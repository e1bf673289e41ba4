#!/usr/bin/env python3
"""Lists the images of an icon file and fails unless it holds each size
named after it."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
reserved, kind, count = struct.unpack("<HHH", data[:6])
if reserved != 0 or kind != 1:
    sys.exit("%s is no icon file" % sys.argv[1])
sizes = []
for i in range(count):
    w, h, _, _, _, bits, length, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
    size = w or 256
    picture = data[offset:offset + length]
    form = "PNG" if picture[:8] == b"\x89PNG\r\n\x1a\n" else "bitmap"
    if form == "PNG":
        size = struct.unpack(">I", picture[16:20])[0]  # the width in the PNG's own header
    elif struct.unpack("<i", picture[4:8])[0] != size:
        sys.exit("image %d says %d pixels, its bitmap another width" % (i, size))
    print("%d x %d, %d bits, %s" % (size, h or 256, bits, form))
    sizes.append(size)
missing = [s for s in map(int, sys.argv[2:]) if s not in sizes]
if missing:
    sys.exit("missing sizes: %s" % " ".join(map(str, missing)))
