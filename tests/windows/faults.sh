# shellcheck shell=bash disable=SC2154 # run.sh's variables
# The fault table under Wine: tmx9ctl.exe and the window against every fault of the simulated
# radio, each tmx9ctl.exe row beside the Linux tmx9ctl against a twin radio with the same fault.
# Sourced by run.sh once its own checks are done: uses its helpers (start_radio, pass, fail,
# winpath) and its Wine prefix. Starts its radios, then restarts the Wine session so that its
# device manager maps their COM ports (and only theirs).
# Wine runs here only inside run.sh's private mount namespace (unshare -m), in which every serial
# device of the machine is covered by mount --bind /dev/null: refuse to run anywhere else.
if [ -z "${TMX9_WINE_NAMESPACE:-}" ]; then
    echo "$(basename "${BASH_SOURCE[0]}"): source it from run.sh, never on its own" >&2
    return 1 2>/dev/null || exit 1
fi

# NAME | COMMAND | RADIO OPTIONS | TMX9CTL OPTIONS. As the Linux table: the same commands and
# faults. A late acknowledgement comes long after the plan's 500 ms of waits, so that a busy machine
# (Wine's programs run slower) cannot bring it inside the plan.
fault_rows=(
    "read, silent|read|--silent|"
    "read, fragments|read|--fragment 5|"
    "read, fragments 100 ms apart|read|--fragment 16 --fragment-gap 100|"
    "read, stray bytes|read|--stray 55AA|"
    "read, bad checksum|read|--bad-checksum|"
    "read, CR LF in the bodies|read|--crlf-in-body|"
    "read, line closes mid-answer|read|--close-after-bytes 40|"
    "read, 9600 baud pace|read|--pace 9600|"
    "read, wrong serial rate|read||--baud 9600"
    "write, silent|write|--silent|"
    "write, no ack|write|--no-ack|"
    "write, ack after the plan|write|--ack-delay 3000|"
    "write, line closes|write|--close-on-write 1|"
    "write, stray bytes|write|--stray 55|"
    "write, fragments|write|--fragment 3 --fragment-gap 2|"
    "default, no ack|default|--no-ack|"
)
# The window's rows: PREFIX (its TMX9_WINE_PREFIX_PORT and _LOG) | RADIO OPTIONS.
window_radios=(
    "TMX9_WINE|"
    "TMX9_WINE_SILENT|--silent"
    "TMX9_WINE_FRAGMENT|--fragment 7 --fragment-gap 5"
    "TMX9_WINE_NOACK|--no-ack"
    "TMX9_WINE_CLOSING|--close-on-write 1"
)

fault_started=$SECONDS
fault_profile=$work/read.json # read from the radio by run.sh's own checks: the defaults
declare -A fault_com=()       # COM name -> pseudo-terminal
declare -a fault_linux_pty=()
next_com=10
for i in "${!fault_rows[@]}"; do
    IFS='|' read -r _ _ options _ <<<"${fault_rows[$i]}"
    # shellcheck disable=SC2086
    start_radio "fault$i-linux" $options
    fault_linux_pty[i]=$radio_pty
    # shellcheck disable=SC2086
    start_radio "fault$i-wine" $options
    fault_com[COM$((next_com + i))]=$radio_pty
done
next_com=$((next_com + ${#fault_rows[@]}))
declare -a window_env=()
for row in "${window_radios[@]}"; do
    IFS='|' read -r prefix options <<<"$row"
    # shellcheck disable=SC2086
    start_radio "$prefix" $options
    fault_com[COM$next_com]=$radio_pty
    window_env+=("${prefix}_PORT=COM$next_com" "${prefix}_LOG=$(winpath "$work/$prefix.log")")
    next_com=$((next_com + 1))
done

# No row takes a tenth of this, even under Wine 8; a program that hangs fails its row, not the run.
fault_timeout=60
# fault_spawn CMD...: runs CMD in the background, two at most at once (it waits for the oldest):
# on a busy machine more would only stretch every exchange's waits.
fault_running=()
fault_spawn() {
    if [ "${#fault_running[@]}" -ge 2 ]; then
        wait "${fault_running[0]}"
        fault_running=("${fault_running[@]:1}")
    fi
    "$@" &
    fault_running+=($!)
}
fault_spawn_wait() {
    [ "${#fault_running[@]}" -eq 0 ] || wait "${fault_running[@]}"
    fault_running=()
}

# fault_result FILE STATUS OUT ERR PORT: "STATUS|first line" with the port's name as PORT; the
# backup's line names a folder of each system's own, and is passed over.
fault_result() {
    local first
    first=$( (if [ "$2" -eq 0 ]; then cat "$3"; else cat "$4"; fi) | tr -d '\r' |
        { grep -v ': backup saved to ' || true; } | head -n1)
    echo "$2|${first//$5/PORT}" >"$1"
}
# fault_run SIDE I: row I by the Linux tmx9ctl ("linux") or tmx9ctl.exe ("wine").
fault_run() {
    local side=$1 i=$2 name command options ctl_options port profile trace rc last
    IFS='|' read -r name command options ctl_options <<<"${fault_rows[$i]}"
    local base=$work/fault$i-$side
    local -a run
    if [ "$side" = linux ]; then
        port=${fault_linux_pty[$i]} profile=$fault_profile trace=$base.trace
        run=(timeout "$fault_timeout" "$ctl_linux")
    else
        port=COM$((10 + i)) profile=$(winpath "$fault_profile") trace=$(winpath "$base.trace")
        run=(env WINEPATH="$(winpath "$qt/bin")" timeout "$fault_timeout" wine "$ctl")
    fi
    [ "$command" = write ] || profile=
    # shellcheck disable=SC2086
    "${run[@]}" "$command" --port "$port" $ctl_options ${profile:+"$profile"} --trace "$trace" \
        >"$base.stdout" 2>"$base.stderr"
    rc=$?
    # A hung run says where it stopped.
    if [ "$rc" -eq 124 ]; then
        last=$(tr -d '\r' <"$base.trace" 2>/dev/null | tail -n1 | cut -c1-80)
        echo "hung; its trace ends: ${last:-nothing traced}" >"$base.hung"
    fi
    fault_result "$base.result" "$rc" "$base.stdout" "$base.stderr" "$port"
}

# The Linux rows meanwhile, two at a time: they need no Wine.
(
    for i in "${!fault_rows[@]}"; do
        fault_spawn fault_run linux "$i"
    done
    fault_spawn_wait
) &
fault_linux_rows=$!

# A new session with the fault radios' COM ports.
for com in "${!fault_com[@]}"; do
    timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "${fault_com[$com]}" /f >>"$work/wineboot.log" 2>&1
done
wineserver -k
wineserver -w
wineserver -p 2>/dev/null
wineboot >>"$work/wineboot.log" 2>&1
wrong_links=$(cd "$WINEPREFIX/dosdevices" && for l in com*; do
    com=${l^^}
    if [ -z "${fault_com[$com]:-}" ]; then
        rm -f "$l"
    elif [ "$(readlink "$l")" != "${fault_com[$com]}" ]; then
        echo -n "$l->$(readlink "$l") "
    fi
done)
mapped=$(find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' | wc -l)
[ -z "$wrong_links" ] && [ "$mapped" -eq "${#fault_com[@]}" ] &&
    pass "fault table: Wine maps exactly the $mapped fault radios' COM ports ($((SECONDS - fault_started)) s)" ||
    fail "fault table: Wine's COM ports" "$mapped of ${#fault_com[@]} mapped; wrong: ${wrong_links:-none}" "$reproduce"

# tmx9ctl.exe, two rows at a time, once the Linux rows are done.
wait "$fault_linux_rows"
for i in "${!fault_rows[@]}"; do
    fault_spawn fault_run wine "$i"
done
fault_spawn_wait
for i in "${!fault_rows[@]}"; do
    name=${fault_rows[$i]%%|*}
    linux_result=$(cat "$work/fault$i-linux.result" 2>/dev/null)
    wine_result=$(cat "$work/fault$i-wine.result" 2>/dev/null)
    hung=
    [ ! -e "$work/fault$i-wine.hung" ] || hung=" ($(cat "$work/fault$i-wine.hung"))"
    if [ -n "$linux_result" ] && [ "$wine_result" = "$linux_result" ]; then
        pass "tmx9ctl.exe $name: status ${wine_result%%|*}, as on Linux"
    else
        fail "tmx9ctl.exe $name" "Linux: $linux_result" "Wine:  $wine_result$hung" \
            "outputs and traces: $work/fault$i-{linux,wine}.*" "$reproduce"
    fi
done

# The window against the faults the Linux fault suite puts it through.
window_test=$win/tests/windows/tst_wine_window.exe
if [ -f "$window_test" ]; then
    env WINEPATH="$(winpath "$qt/bin")" QT_PLUGIN_PATH="$(winpath "$qt/plugins")" \
        QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "${window_env[@]}" \
        TMX9_WINE_VANISH_PORT=unused TMX9_WINE_VANISH_LOG=unused \
        TMX9_WINE_KILL_REQUEST=unused TMX9_WINE_KILL_DONE=unused \
        timeout 300 wine "$window_test" windowFaults -o "$(winpath "$work/window-faults.txt"),txt" \
        >"$work/window-faults.err" 2>&1
    rc=$?
    tr -d '\r' <"$work/window-faults.txt" | grep -E '^(PASS|FAIL|XFAIL|SKIP)' |
        grep -v 'initTestCase\|cleanupTestCase' |
        sed -E 's/^(PASS|FAIL!?|XFAIL|SKIP) *: *WineWindowTest::/window: /; s/^/      /'
    [ "$rc" -eq 0 ] && pass "the window under Wine against the faults" ||
        fail "the window under Wine against the faults" "status $rc; output in $work/window-faults.txt" \
            "$(tr -d '\r' <"$work/window-faults.txt" | grep -A3 '^FAIL' | head -12)" "$reproduce"
else
    fail "the window under Wine against the faults" "$window_test is missing" "$reproduce"
fi
echo "      fault table: $((SECONDS - fault_started)) s"
