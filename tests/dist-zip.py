#!/usr/bin/env python3
"""Packs the same inputs twice, with other file times, modes and hash seeds,
and fails unless the zips are the same bytes with what the README promises:
the entries in the order given, each dated 1980-01-01 with permissions 644
on a DOS-made entry, and README.txt with CR LF line ends."""
import os
import subprocess
import sys
import tempfile
import zipfile

packer = sys.argv[1]
with tempfile.TemporaryDirectory() as tmp:
    readme, program = os.path.join(tmp, "README.txt"), os.path.join(tmp, "Pelmark.exe")
    open(readme, "wb").write(b"first line\nsecond\r\nthird\n")
    open(program, "wb").write(b"MZ\n\x00\r\n" * 100)
    zips = []
    for run, (seconds, mode, seed) in enumerate([(1_000_000_000, 0o600, "1"), (1_700_000_000, 0o755, "2")]):
        for path in (readme, program):
            os.chmod(path, mode)
            os.utime(path, (seconds, seconds))
        out = os.path.join(tmp, "run%d.zip" % run)
        # README.txt first: not the order of the names, so no sort can pass.
        subprocess.run([sys.executable, packer, out, "README.txt=" + readme, "Pelmark.exe=" + program],
                       check=True, env=dict(os.environ, PYTHONHASHSEED=seed))
        zips.append(out)
    failures = []
    if open(zips[0], "rb").read() != open(zips[1], "rb").read():
        failures.append("the two zips differ")
    with zipfile.ZipFile(zips[0]) as z:
        infos = z.infolist()
        if [i.filename for i in infos] != ["README.txt", "Pelmark.exe"]:
            failures.append("entries %s" % [i.filename for i in infos])
        for i in infos:
            if i.date_time != (1980, 1, 1, 0, 0, 0):
                failures.append("%s dated %s" % (i.filename, i.date_time))
            if i.create_system != 0 or i.external_attr != 0o644 << 16:
                failures.append("%s made by %d with attributes %#x" % (i.filename, i.create_system, i.external_attr))
        if z.read("README.txt") != b"first line\r\nsecond\r\nthird\r\n":
            failures.append("README.txt is %r" % z.read("README.txt"))
        if z.read("Pelmark.exe") != open(program, "rb").read():
            failures.append("the program's bytes changed")
    for f in failures:
        print("FAILED:", f)
    sys.exit(1 if failures else 0)
