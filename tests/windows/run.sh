#!/usr/bin/env bash
# The Windows programs under Wine, against Linux simulated radios on COM ports.
#
#   tests/windows/run.sh BUILD_DIR     (BUILD_DIR: build/windows; scripts/windows.sh --test calls it)
#
# Inputs, exported by scripts/windows.sh (defaults derived from BUILD_DIR): TMX9_WIN_BUILD (the
# Windows build tree), TMX9_QT_PREFIX, TMX9_WIN_ZIP, TMX9_WIN_SETUP, TMX9_LINUX_BUILD (tmx9-sim and
# tmx9ctl for Linux). Prints one line per check and "N passed, N failed"; exits 1 on any failure.
#
# Wine must never reach a real serial port of this machine: everything runs in a private mount
# namespace in which /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* are /dev/null, with a throwaway
# prefix, and the only COM ports are links to the simulated radios' pseudo-terminals.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:?usage: $0 BUILD_DIR}")

if [ -z "${TMX9_WINE_NAMESPACE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "run.sh: needs root for a private mount namespace" >&2; exit 1; }
    TMX9_WINE_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
    echo "run.sh: cannot enter a private mount namespace (unshare -m)" >&2
    exit 1
fi

win=${TMX9_WIN_BUILD:-$build/cross}
qt=${TMX9_QT_PREFIX:-$build/qt5-mingw64}
linux=${TMX9_LINUX_BUILD:-$build/linux}
zip=${TMX9_WIN_ZIP:-$(ls "$build"/tmx9-config-*-win64.zip 2>/dev/null | head -n1)}
setup=${TMX9_WIN_SETUP:-$(ls "$build"/tmx9-config-*-win64-setup.exe 2>/dev/null | head -n1)}
sim=$linux/sim/tmx9-sim
ctl_linux=$linux/cli/tmx9ctl
ctl=$win/cli/tmx9ctl.exe

work=$build/wine-test
rm -rf "$work"
mkdir -p "$work"
# The Linux tmx9ctl's backups stay here (tmx9ctl.exe keeps its own in the Wine prefix).
export XDG_DATA_HOME=$work/data

# Hide every real serial device from Wine (and from everything else in this namespace).
for dev in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$dev" ] || continue
    mount --bind /dev/null "$dev" || { echo "run.sh: cannot mask $dev" >&2; exit 1; }
done

# WINEDEBUG from outside (e.g. +comm,+serial) shows what a port does: $work/stderr.txt, window.err.
export WINEPREFIX=$work/prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
winpath() { echo "Z:${1//\//\\}"; }

passed=0
failed=0
pass() {
    echo "PASS  $1"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL  $1"
    shift
    for line in "$@"; do echo "      $line"; done
    failed=$((failed + 1))
}
reproduce="reproduce: $here/run.sh $build  (files kept in $work)"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
}
trap cleanup EXIT

# start_radio NAME ARGS...: a tmx9-sim logging to $work/NAME.log; sets radio_pid and radio_pty.
# (Not "com5.log": Windows reads COM5.anything as the device COM5.)
start_radio() {
    local name=$1
    shift
    "$sim" --log "$work/$name.log" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    radio_pid=$!
    pids+=("$radio_pid")
    for _ in $(seq 100); do
        radio_pty=$(head -n1 "$work/$name.out" 2>/dev/null)
        [ -n "$radio_pty" ] && return 0
        sleep 0.05
    done
    echo "run.sh: tmx9-sim $name did not start: $(cat "$work/$name.err")" >&2
    exit 1
}

for f in "$sim" "$ctl_linux" "$ctl"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "run.sh: missing $f" >&2; exit 1; }
done

# The radios, before Wine starts: its device manager lists the COM ports it finds at start.
start_radio radio5
com5_pty=$radio_pty
start_radio radio6 --no-ack
com6_pty=$radio_pty
start_radio radio7 --fragment 16 --fragment-gap 100 # answers in about 1.5 s
com7_pid=$radio_pid com7_pty=$radio_pty

# Wine needs a display to create even the invisible windows Qt's event loop uses (the Qt programs
# themselves draw offscreen): a private X server for this run.
if ! command -v Xvfb >/dev/null; then
    echo "run.sh: installing xvfb" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xvfb >/dev/null || exit 1
fi
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
DISPLAY=:$(cat "$work/display")
export DISPLAY

# Wine 10 cancels every wait for received bytes on a port that cannot tell its modem lines, as a
# pseudo-terminal cannot: there the radios' pseudo-terminals answer as a real port does
# (pty_modem_lines.c), preloaded from here on into everything (no Linux program here asks a
# pseudo-terminal for its modem lines). Wine 8 waits inside the call and returns at once when the
# lines cannot be read, which is what lets programs read the port at all: the shim would make
# that wait last until bytes arrive, so Wine 8 runs without it.
wine_version=$(wine --version 2>/dev/null)
if [ "$(echo "$wine_version" | sed -nE 's/^wine-([0-9]+).*/\1/p')" -gt 8 ] 2>/dev/null; then
    cc -shared -fPIC -O2 -o "$work/pty_modem_lines.so" "$here/pty_modem_lines.c" -ldl ||
        { echo "run.sh: cannot build pty_modem_lines.so" >&2; exit 1; }
    export LD_PRELOAD=$work/pty_modem_lines.so
    echo "$wine_version: the pseudo-terminals answer the modem-line query (pty_modem_lines.so)"
else
    echo "$wine_version: the pseudo-terminals as they are"
fi

# new_session: ends Wine's session and starts another, as signing out and in does on Windows.
# Wine's device manager maps the COM ports it is given (and the serial devices it finds, all
# hidden here) when a session starts. Wine still maps COM1 to /dev/ttyS0 (which is /dev/null
# here): drop every link but ours, naming them in $removed. Emptying COM1..COM4 in the registry
# is no cure: Wine then gives /dev/ttyS0 the next free name.
new_session() {
    wineserver -k
    wineserver -w
    wineserver -p 2>/dev/null
    wineboot >>"$work/wineboot.log" 2>&1
    removed=$(cd "$WINEPREFIX/dosdevices" && for l in com*; do
        case $l in com5 | com6 | com7) ;; *) echo -n "$l->$(readlink "$l") " && rm -f "$l" ;; esac
    done)
}

started=$SECONDS
# One prefix and one server at a time for the run: map the radios, then start the session again.
wineserver -p 2>/dev/null
wineboot -i >"$work/wineboot.log" 2>&1
for n in 5 6 7; do
    pty_var=com${n}_pty
    timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "${!pty_var:-}" /f >>"$work/wineboot.log" 2>&1
done
new_session
links=$(cd "$WINEPREFIX/dosdevices" && for l in com*; do [ -L "$l" ] && echo -n "$l->$(readlink "$l") "; done)
[ "$links" = "com5->$com5_pty com6->$com6_pty com7->$com7_pty " ] &&
    pass "Wine's only COM ports are the radios' (removed: ${removed:-none}; $((SECONDS - started)) s)" ||
    fail "Wine's COM ports" "dosdevices: $links" "$reproduce"

# wine_ctl ARGS...: the build's tmx9ctl.exe with the Qt DLLs on the path; $out (standard output),
# $err (standard error), $rc.
wine_ctl() {
    out=$(WINEPATH="$(winpath "$qt/bin")" timeout 120 wine "$ctl" "$@" 2>"$work/stderr.txt" | tr -d '\r')
    rc=$?
    err=$(tr -d '\r' <"$work/stderr.txt")
}
# expect_rc WANT NAME: checks $rc.
expect_rc() {
    if [ "$rc" -eq "$1" ]; then pass "$2"; else fail "$2" "exit status $rc, expected $1" "$out" "$err" "$reproduce"; fi
}
# linux_rc ARGS...: the exit status of the Linux tmx9ctl.
linux_rc() {
    "$ctl_linux" "$@" >/dev/null 2>&1
    echo $?
}

# --- The serial engine's wait, in a console program as tmx9ctl.exe ---
waits_exe=$win/tests/windows/wine_waits.exe
if [ -f "$waits_exe" ]; then
    out=$(WINEPATH="$(winpath "$qt/bin")" timeout 120 wine "$waits_exe" 1000 2>"$work/stderr.txt" | tr -d '\r')
    rc=$?
    [ "$rc" -eq 0 ] && pass "1,000 short waits, each ended at its deadline (wine_waits.exe)" ||
        fail "short waits (wine_waits.exe)" "status $rc (124: a wait never ended)" "$out" "$reproduce"
else
    fail "short waits" "$waits_exe is missing: build with tests on" "$reproduce"
fi

# --- tmx9ctl.exe ---
version=$(sed -n 's/^project(tmx9-config VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
wine_ctl --version
[ "$rc" -eq 0 ] && [[ "$out" == *"$version"* ]] && pass "tmx9ctl.exe --version ($version)" ||
    fail "tmx9ctl.exe --version" "status $rc: $out" "$err" "$reproduce"

wine_ctl ports
listed=$(echo "$out" | grep -v '^$' | sort | tr '\n' ' ')
[ "$rc" -eq 0 ] && [ "$listed" = "COM5 COM6 COM7 " ] && pass "tmx9ctl.exe ports lists exactly COM5 COM6 COM7" ||
    fail "tmx9ctl.exe ports" "status $rc, listed: $listed" "$err" "$reproduce"

wine_ctl read --port COM5 --json
echo "$out" >"$work/read.json"
[ "$rc" -eq 0 ] && grep -q '"frequencies"' "$work/read.json" && pass "tmx9ctl.exe read --json" ||
    fail "tmx9ctl.exe read --json" "status $rc: $out" "$err" "$reproduce"

# A changed profile, written and verified, then the defaults again.
sed 's/"454\.0500"/"401.2500"/' "$work/read.json" >"$work/changed.json"
wine_ctl write --port COM5 "$(winpath "$work/changed.json")"
expect_rc 0 "tmx9ctl.exe write PROFILE (read back and verified)"
wine_ctl read --port COM5 --json
[[ "$out" == *'"401.2500"'* ]] && pass "the written frequency is read back" ||
    fail "the written frequency is read back" "$out" "$reproduce"
wine_ctl default --port COM5
expect_rc 0 "tmx9ctl.exe default"

# A bad profile is refused before anything is sent.
sed 's/"454\.0500"/"600.0000"/' "$work/read.json" >"$work/bad.json"
before=$(stat -c %s "$work/radio5.log")
wine_ctl write --port COM5 "$(winpath "$work/bad.json")"
after=$(stat -c %s "$work/radio5.log")
[ "$rc" -eq 2 ] && [ "$before" -eq "$after" ] && pass "bad profile refused (status 2), nothing sent" ||
    fail "bad profile refused" "status $rc (expected 2), log grew $((after - before)) bytes" "$err" "$reproduce"

# Exit statuses as on Linux, for the same failures.
wine_ctl read --port COM9
expect_rc "$(linux_rc read --port "$work/no-such-port")" "tmx9ctl.exe read of a missing port: status $rc, as on Linux"
wine_ctl write --port COM6 "$(winpath "$work/read.json")"
expect_rc "$(linux_rc write --port "$com6_pty" "$work/read.json")" "tmx9ctl.exe write without acknowledgement: status $rc, as on Linux"
wine_ctl frobnicate
expect_rc "$(linux_rc frobnicate)" "tmx9ctl.exe bad command: status $rc, as on Linux"

# The same exchange traced on both systems: same bytes in the same order.
wine_ctl write --port COM5 "$(winpath "$work/changed.json")" --trace "$(winpath "$work/win.trace")"
win_rc=$rc
# From the same defaults, so that the reads that back the radio up match too.
"$ctl_linux" default --port "$com5_pty" --no-backup >/dev/null 2>&1
"$ctl_linux" write --port "$com5_pty" "$work/changed.json" --trace "$work/linux.trace" >/dev/null 2>&1
# Times differ, and Windows ends the lines with CR LF.
traffic() { tr -d '\r' <"$1" | grep -E '^(->|<-)' | sed -E 's/^(..) +[0-9.]+ ms  /\1 /'; }
if [ "$win_rc" -eq 0 ] && [ -s "$work/linux.trace" ] &&
    diff <(traffic "$work/win.trace") <(traffic "$work/linux.trace") >"$work/trace.diff"; then
    pass "--trace under Wine matches Linux ($(traffic "$work/win.trace" | wc -l) lines)"
else
    fail "--trace under Wine matches Linux" "status $win_rc; diff in $work/trace.diff" "$reproduce"
fi
"$ctl_linux" default --port "$com5_pty" >/dev/null 2>&1

# --- The window ---
window_test=$win/tests/windows/tst_wine_window.exe
if [ -f "$window_test" ]; then
    # run.sh's half of the vanishing radio: kill it when the test asks.
    (
        while [ ! -e "$work/kill-request" ]; do sleep 0.05; done
        kill "$com7_pid"
        while kill -0 "$com7_pid" 2>/dev/null; do sleep 0.05; done
        touch "$work/kill-done"
    ) &
    pids+=($!)
    WINEPATH="$(winpath "$qt/bin")" QT_PLUGIN_PATH="$(winpath "$qt/plugins")" \
        QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
        TMX9_WINE_PORT=COM5 TMX9_WINE_LOG="$(winpath "$work/radio5.log")" \
        TMX9_WINE_NOACK_PORT=COM6 TMX9_WINE_NOACK_LOG="$(winpath "$work/radio6.log")" \
        TMX9_WINE_VANISH_PORT=COM7 TMX9_WINE_VANISH_LOG="$(winpath "$work/radio7.log")" \
        TMX9_WINE_KILL_REQUEST="$(winpath "$work/kill-request")" \
        TMX9_WINE_KILL_DONE="$(winpath "$work/kill-done")" \
        timeout 300 wine "$window_test" -o "$(winpath "$work/window.txt"),txt" >"$work/window.err" 2>&1
    rc=$?
    tr -d '\r' <"$work/window.txt" | grep -E '^(PASS|FAIL|XFAIL|SKIP)' | grep -v 'initTestCase\|cleanupTestCase' |
        sed -E 's/^(PASS|FAIL!?|XFAIL|SKIP) *: *WineWindowTest::/window: /' >"$work/window-lines.txt"
    cat "$work/window-lines.txt" | sed 's/^/      /'
    tr -d '\r' <"$work/window.txt" | grep -F -e 'CPU over' -e 'port error after' | sed 's/^.*QINFO *: *[^ ]* */      /'
    [ "$rc" -eq 0 ] && pass "the window under Wine ($(grep -c . "$work/window-lines.txt") cases)" ||
        fail "the window under Wine" "status $rc; output in $work/window.txt and window.err" "$(tr -d '\r' <"$work/window.txt" | grep -A3 '^FAIL' | head -12)" "$reproduce"
else
    fail "the window under Wine" "$window_test is missing: build with tests on" "$reproduce"
fi

# --- The window at each display scale ---
source "$here/display_scales.sh"

# --- The packages ---
# The project's licence and those of the libraries shipped, beside the programs.
licences() {
    local missing=() f
    for f in LICENSE.txt licenses/LGPL-3.txt licenses/GPL-3.txt \
        licenses/GCC-RUNTIME-LIBRARY-EXCEPTION-3.1.txt licenses/winpthreads.txt; do
        [ -s "$2/$f" ] || missing+=("$f")
    done
    grep -q 'scripts/build-qt-mingw.sh' "$2/README.txt" || missing+=("README.txt: the Qt recipe")
    [ ${#missing[@]} -eq 0 ] && pass "$1: the licences and where Qt's sources are" ||
        fail "$1: licences" "missing: ${missing[*]}" "$reproduce"
}
if [ -n "$zip" ] && [ -f "$zip" ]; then
    mkdir -p "$work/zip"
    (cd "$work/zip" && unzip -q "$zip")
    exe=$(find "$work/zip" -name tmx9ctl.exe | head -n1)
    out=$(cd "$(dirname "$exe")" && WINEPATH="" timeout 120 wine ./tmx9ctl.exe --version 2>&1 | tr -d '\r')
    rc=$?
    [ "$rc" -eq 0 ] && [[ "$out" == *"$version"* ]] && pass "zip: unpacked tmx9ctl.exe --version runs alone" ||
        fail "zip: unpacked tmx9ctl.exe --version" "status $rc: $out" "$reproduce"
    licences "zip" "$(dirname "$exe")"
else
    fail "zip" "no zip in $build" "$reproduce"
fi

if [ -n "$setup" ] && [ -f "$setup" ]; then
    installed="$WINEPREFIX/drive_c/Program Files/TMX9 Config"
    key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\tmx9-config'
    # shortcuts: the Start-menu folders of every user and of all users
    shortcuts() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '*.lnk' -path '*TMX9 Config*' 2>/dev/null; }
    registered() { timeout 60 wine reg query "$key" >/dev/null 2>&1; }
    timeout 300 wine "$setup" /S >"$work/setup.log" 2>&1
    [ -f "$installed/tmx9ctl.exe" ] && [ -f "$installed/tmx9-config.exe" ] &&
        pass "installer /S installs into Program Files" ||
        fail "installer /S" "nothing in $installed" "$reproduce"
    licences "installed" "$installed"
    [ -n "$(shortcuts)" ] && registered &&
        pass "installer adds Start-menu shortcuts ($(shortcuts | wc -l)) and the uninstall key" ||
        fail "installer shortcuts and uninstall key" "shortcuts: $(shortcuts | tr '\n' ' ')" \
            "$(registered && echo "key present" || echo "no key $key")" "$reproduce"
    out=$(WINEPATH="" timeout 120 wine "C:\\Program Files\\TMX9 Config\\tmx9ctl.exe" --version 2>&1 | tr -d '\r')
    rc=$?
    [ "$rc" -eq 0 ] && [[ "$out" == *"$version"* ]] && pass "installed tmx9ctl.exe --version" ||
        fail "installed tmx9ctl.exe --version" "status $rc: $out" "$reproduce"
    timeout 300 wine "C:\\Program Files\\TMX9 Config\\uninstall.exe" /S >"$work/uninstall.log" 2>&1
    # The uninstaller copies itself away and returns at once: wait for the folder to go.
    for _ in $(seq 200); do [ -e "$installed" ] || break; sleep 0.1; done
    left=$( ([ -e "$installed" ] && find "$installed"; shortcuts; registered && echo "$key") | head -5 | tr '\n' ' ')
    [ -z "$left" ] && pass "uninstaller removes what it installed (files, shortcuts, key)" ||
        fail "uninstaller" "left: $left" "$reproduce"
else
    fail "installer" "no installer in $build" "$reproduce"
fi

# Every fault of the simulated radio, against tmx9ctl.exe and the window (restarts the session).
# shellcheck source=faults.sh
source "$here/faults.sh"

echo "$passed passed, $failed failed (Wine, $((SECONDS - started)) s)"
[ "$failed" -eq 0 ]
