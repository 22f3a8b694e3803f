#!/usr/bin/env bash
# The README's pictures can be remade: scripts/make-pictures.sh draws them again on its own X
# server, without any display of the caller, with every text of the window whole, each under
# 150 KB, and the window's pictures have the size of those in docs/images (a window that changed
# size means the pictures must be remade).
#   check_pictures.sh SOURCE_DIR TMX9_SHOTS
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

env -u DISPLAY -u WAYLAND_DISPLAY TMX9_SHOTS=$2 "$source/scripts/make-pictures.sh" "$scratch" >"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; echo "FAIL: make-pictures.sh"; exit 1; }
dimensions() { file -b "$1" | cut -d, -f2; }
for name in window-zh window-en traffic; do
    [ -f "$scratch/$name.png" ] || { echo "FAIL: $name.png not made"; exit 1; }
    [ -f "$source/docs/images/$name.png" ] || { echo "FAIL: docs/images/$name.png missing"; exit 1; }
done
for name in window-zh window-en; do
    if [ "$(dimensions "$scratch/$name.png")" != "$(dimensions "$source/docs/images/$name.png")" ]; then
        echo "FAIL: the window is now $(dimensions "$scratch/$name.png"), docs/images/$name.png is" \
            "$(dimensions "$source/docs/images/$name.png"): run scripts/make-pictures.sh"
        exit 1
    fi
done
grep 'png:' "$scratch/log"
