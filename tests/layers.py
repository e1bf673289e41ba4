#!/usr/bin/env python3
"""Fails when a module includes one of a layer above its own, or when a
product file has more than 900 lines."""
import os
import re
import sys

LAYERS = ["platform", "about", "inieditor", "settings", "profiles", "shell"]
root = sys.argv[1]
faults = []
for rank, folder in enumerate(LAYERS):
    for name in sorted(os.listdir(os.path.join(root, folder))):
        if not name.endswith((".cpp", ".h")):
            continue
        path = os.path.join(folder, name)
        lines = open(os.path.join(root, path), encoding="utf-8").read().splitlines()
        if len(lines) > 900:
            faults.append("%s has %d lines" % (path, len(lines)))
        for line in lines:
            m = re.match(r'#include "(\w+)/', line)
            if m and m.group(1) in LAYERS and LAYERS.index(m.group(1)) > rank:
                faults.append("%s includes %s, a layer above it" % (path, line.split('"')[1]))
print("\n".join(faults) or "the modules stand in layers: " + " < ".join(LAYERS))
sys.exit(1 if faults else 0)
