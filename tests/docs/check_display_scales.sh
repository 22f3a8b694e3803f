#!/usr/bin/env bash
# The window at the common display scales, on an X server of its own for each: at 96, 120, 144 and
# 192 DPI it is 600x500 times the scale (within 3 px), and in both languages every text of the
# window and of its message boxes is whole (tmx9-shots --check). The users' own Qt variables still
# act as Qt documents them.
#   check_display_scales.sh TMX9_SHOTS
set -uo pipefail
shots=$1
scratch=$(mktemp -d)
xvfb=
trap 'kill $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT

# DPI, expected scale, whether texts are judged, the user's setting (- for none).
rows=(
    "96  1    yes -"
    "120 1.25 yes -"
    "144 1.5  yes -"
    "192 2    yes -"
    "144 1    no  QT_ENABLE_HIGHDPI_SCALING=0"
    "120 2    yes QT_SCALE_FACTOR_ROUNDING_POLICY=Ceil"
    "96  1.5  yes QT_SCALE_FACTOR=1.5"
)
failed=0
for row in "${rows[@]}"; do
    read -r dpi scale judged setting <<<"$row"
    # The screen keeps 1280x1024 of the window's own pixels at every scale, as a laptop would.
    rm -f "$scratch/display"
    Xvfb -displayfd 3 -nolisten tcp -noreset -dpi "$dpi" \
        -screen 0 "$((1280 * dpi / 96))x$((1024 * dpi / 96))x24" 3>"$scratch/display" \
        >"$scratch/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.05; done
    # Desktops publish their scale as Xft.dpi too, and Qt goes by it: Debian 13's Qt takes no
    # other hint and would stay at 96 DPI on a bare X server. (-noreset: otherwise the server
    # forgets the resource when xrdb, its only client, leaves.)
    DISPLAY=":$(head -n1 "$scratch/display")" xrdb -nocpp -merge <<<"Xft.dpi: $dpi"
    user=()
    [ "$setting" = - ] || user=("$setting")
    env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_AUTO_SCREEN_SCALE_FACTOR \
        -u QT_ENABLE_HIGHDPI_SCALING -u QT_SCALE_FACTOR_ROUNDING_POLICY -u QT_FONT_DPI \
        -u QT_STYLE_OVERRIDE -u QT_QPA_PLATFORMTHEME -u XAUTHORITY -u WAYLAND_DISPLAY \
        DISPLAY=":$(head -n1 "$scratch/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$scratch" \
        LANG=C.UTF-8 LC_ALL=C.UTF-8 "${user[@]}" "$shots" --check >"$scratch/out" 2>"$scratch/err"
    rc=$?
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null
    what="$dpi DPI${user:+ with $setting}"
    size=$(sed -n 's/^window \([0-9]*x[0-9]*\) px.*/\1/p' "$scratch/out")
    want=$(awk -v s="$scale" 'BEGIN { printf "%dx%d", 600 * s + 0.5, 500 * s + 0.5 }')
    w=${size%x*} h=${size#*x}
    dw=$((${w:-0} - ${want%x*})) dh=$((${h:-0} - ${want#*x}))
    if [ -z "$size" ] || [ "${dw#-}" -gt 3 ] || [ "${dh#-}" -gt 3 ] || { [ "$judged" = yes ] && [ "$rc" -ne 0 ]; }; then
        echo "FAIL  $what: window ${size:-not measured} px, expected $want; status $rc"
        grep -v -e 'XCB error' -e 'Hex String' "$scratch/err" | sed 's/^/      /'
        echo "      reproduce: Xvfb :9 -dpi $dpi & echo Xft.dpi: $dpi | DISPLAY=:9 xrdb -nocpp -merge; DISPLAY=:9 QT_QPA_PLATFORM=xcb ${user[*]} $shots --check"
        failed=1
    else
        echo "PASS  $what: window $size px (expected $want)"
    fi
done
exit $failed
