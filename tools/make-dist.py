#!/usr/bin/env python3
"""Packs the download: a zip whose bytes depend only on what goes in.

usage: make-dist.py OUT.zip NAME=PATH...

Entries go in the order given, each with the same fixed time stamp and
permissions; text files named *.txt get Windows line ends.
"""
import sys
import zipfile


def main():
    out, entries = sys.argv[1], sys.argv[2:]
    with zipfile.ZipFile(out, "w") as z:
        for entry in entries:
            name, path = entry.split("=", 1)
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = 0o644 << 16
            info.create_system = 0
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    main()
