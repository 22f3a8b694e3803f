#!/usr/bin/env bash
# Remakes the README's pictures: the window in Chinese and in English, and the traffic log of a
# read and a write, drawn against the simulated radio. Run it when the window changes.
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

# Drawn on an X server of their own (Xvfb), not on Qt's offscreen platform: offscreen measures
# text with other font metrics than a real display, and the window's English labels came out cut
# ("Modulation Ty"). On X they are whole, as users see them. The server is private to this run,
# so no display of the caller is needed or touched; it reports its display number when ready.
xdir=$(mktemp -d)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 -dpi 96 3>"$xdir/display" \
    >"$xdir/log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$xdir"' EXIT
for _ in $(seq 100); do
    [ -s "$xdir/display" ] || ! kill -0 "$xvfb" 2>/dev/null && break
    sleep 0.1
done
display=$(head -n1 "$xdir/display")
if [ -z "$display" ]; then
    cat "$xdir/log" >&2
    echo "make-pictures.sh: Xvfb did not start" >&2
    exit 1
fi

# The same pictures on every machine: no desktop, no locale, style or scaling of the user; no
# traffic log in the user's folder.
env -u QT_STYLE_OVERRIDE -u QT_QPA_PLATFORMTHEME -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
    -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_AUTO_SCREEN_SCALE_FACTOR -u QT_FONT_DPI \
    -u XAUTHORITY -u WAYLAND_DISPLAY DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
    XDG_RUNTIME_DIR="$xdir" TMX9_LOG_DIR= LANG=C.UTF-8 LC_ALL=C.UTF-8 "$shots" "$out"

for name in window-zh window-en traffic; do
    file="$out/$name.png"
    size=$(stat -c %s "$file")
    echo "$file: $(file -b "$file" | cut -d, -f2 | tr -d ' ') px, $size bytes"
    if [ "$size" -ge "$limit" ]; then
        echo "make-pictures.sh: $file is over 150 KB" >&2
        exit 1
    fi
done
