#!/usr/bin/env bash
# Every file that resources/Pelmark.rc embeds is a dependency of its compile,
# so that touching a bitmap rebuilds the program and the tests. A file the
# build makes (the 64-bit manifest) counts where this build made it.
set -euo pipefail
src=$1 build=$2
missing=0
for target in Pelmark test_platform; do
    rules=$(find "$build" -path "*/$target.dir/build.make" | head -1)
    [ -n "$rules" ] || { echo "no build rules for $target"; exit 1; }
    for f in $(sed -n 's/.*"\([^"]*\.\(bmp\|ico\|manifest\)\)".*/\1/p' "$src/resources/Pelmark.rc"); do
        [ -e "$src/resources/$f" ] || [ -e "$build/resources/$f" ] || continue
        if ! grep -q "Pelmark.rc.res:.*resources/$f" "$rules"; then
            echo "$target: resources/$f is not a dependency of the resource compile"
            missing=1
        fi
    done
done
exit "$missing"
