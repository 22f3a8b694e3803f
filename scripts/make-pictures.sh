#!/usr/bin/env bash
# Remakes the README's pictures: the window in Chinese and in English, and the traffic log of a
# read and a write, drawn offscreen against the simulated radio. Run it when the window changes.
#   scripts/make-pictures.sh [OUTDIR]   (default: docs/images)
# TMX9_SHOTS: an already built tmx9-shots to use instead of building one.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/images}
limit=$((150 * 1024))

"$here/scripts/deps.sh" pictures

shots=${TMX9_SHOTS:-}
if [ -z "$shots" ]; then
    build="$here/build/pictures"
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTMX9_BUILD_TESTS=OFF -DTMX9_BUILD_BENCH=OFF >&2
    cmake --build "$build" -j "$(nproc)" --target tmx9-shots >&2
    shots="$build/demo/tmx9-shots"
fi

# The same pictures on every machine: no desktop, no locale or style of the user.
env -u QT_STYLE_OVERRIDE QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    "$shots" "$out"

for name in window-zh window-en traffic; do
    file="$out/$name.png"
    size=$(stat -c %s "$file")
    echo "$file: $(file -b "$file" | cut -d, -f2 | tr -d ' ') px, $size bytes"
    if [ "$size" -ge "$limit" ]; then
        echo "make-pictures.sh: $file is over 150 KB" >&2
        exit 1
    fi
done
