# The window at each display scale under Wine; sourced by run.sh, whose prefix, radios, X server,
# pass and fail it uses. tmx9-config.exe's own set-up on Qt's Windows platform (not offscreen),
# with Wine's display at LogPixels 96, 120, 144 and 192: the window is 600x500 times the scale
# (within 3 px) and every text of the window and of its boxes is whole, in both languages.
# Wine runs here only inside run.sh's private mount namespace (unshare -m), in which every serial
# device of the machine is covered by mount --bind /dev/null: refuse to run anywhere else.
if [ -z "${TMX9_WINE_NAMESPACE:-}" ]; then
    echo "$(basename "${BASH_SOURCE[0]}"): source it from run.sh, never on its own" >&2
    return 1 2>/dev/null || exit 1
fi
scale_check=$win/tests/windows/wine_display_scale.exe
desktop='HKCU\Control Panel\Desktop'
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
if [ -f "$scale_check" ]; then
    # Windows always has its dialog font. This prefix has none of Windows' fonts, and Wine then
    # takes the machine's first font by name, here a math font with lines four times too tall.
    for face in "MS Shell Dlg" "MS Shell Dlg 2" Tahoma; do
        wine reg add "$substitutes" /v "$face" /d "DejaVu Sans" /f >>"$work/scales.log" 2>&1
    done
    for dpi in 96 120 144 192; do
        # Wine 10 fixes each monitor's scale when the session starts, from the system scale of
        # that moment: a new scale needs a new session, as Windows asks to sign out for one.
        wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >>"$work/scales.log" 2>&1
        new_session
        out=$(WINEPATH="$(winpath "$qt/bin")" WINEQT_PLUGIN_PATH="$(winpath "$qt/plugins")" \
            TMX9_WINE_PORT=COM5 timeout 60 wine "$scale_check" 2>>"$work/scales.log" | tr -d '\r')
        rc=$?
        echo "$out" >>"$work/scales.log"
        size=$(echo "$out" | sed -n 's/^window \([0-9]*x[0-9]*\) px.*/\1/p')
        w=${size%x*} h=${size#*x}
        dw=$((${w:-0} - 600 * dpi / 96)) dh=$((${h:-0} - 500 * dpi / 96))
        if [ "$rc" -eq 0 ] && [ -n "$size" ] && [ "${dw#-}" -le 3 ] && [ "${dh#-}" -le 3 ]; then
            pass "the window at LogPixels $dpi: $size px, every text whole"
        else
            fail "the window at LogPixels $dpi" "status $rc, expected $((600 * dpi / 96))x$((500 * dpi / 96)) px" \
                "$out" "$reproduce"
        fi
    done
    wine reg delete "$desktop" /v LogPixels /f >>"$work/scales.log" 2>&1
    new_session
else
    fail "the window at each display scale" "$scale_check is missing: build with tests on" "$reproduce"
fi
