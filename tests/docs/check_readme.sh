#!/usr/bin/env bash
# Every command in the shell blocks of the README and of the manuals in docs/ is run by a test or
# by .ci/run: each is listed here with what runs it, and that test must exist. A new command there
# fails this test until something runs it and it is added below.
#   check_readme.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
build=$2
. "$(dirname "$0")/readme_commands.sh"

declare -A runBy=(
    ["./run.sh"]=readme_run_without_display
    ["./run.sh --real"]=readme_run_without_display
    ["./test.sh"]=.ci/run
    ["sudo usermod -aG dialout \"\$USER\""]=readme_dialout
    ["./run.sh --sim --link /tmp/tmx9"]=readme_simulated_radio
    ["stty -F /tmp/tmx9 115200; printf '\$\$01LOG RADIOINFO\\r\\n' > /tmp/tmx9; timeout 2 head -n1 /tmp/tmx9"]=readme_simulated_radio
    ["cpack --config build/test/CPackConfig.cmake -B build/package"]=package
    # apt-get install --simulate, in the package test: installing for real needs root.
    ["sudo apt install ./build/package/tmx9-config_*.deb"]=package
    ["scripts/make-pictures.sh"]=readme_pictures
    ["tmx9ctl read --port /dev/ttyUSB0 --trace trace.txt"]=readme_replay
    ["./run.sh --sim --replay trace.txt --link /tmp/tmx9"]=readme_replay
    ["tmx9ctl write --port /dev/ttyUSB0 \"\$(ls ~/.local/share/tmx9-config/backups/SN0001-*.json | tail -n 1)\""]=readme_undo
    ["tmx9ctl read --from-trace \"\$(ls ~/.local/share/tmx9-config/logs/*.log | tail -n 1)\" --out before.json"]=readme_undo
    ["tmx9ctl write --port /dev/ttyUSB0 before.json"]=readme_undo
    # The tmx9ctl manual's commands run as written against simulated radios in those ports' place.
    ["tmx9ctl read --port /dev/ttyUSB0"]=readme_tmx9ctl
    ["tmx9ctl read --port /dev/ttyUSB0 --out radio.json"]=readme_tmx9ctl
    ["tmx9ctl write --port /dev/ttyUSB0 radio.json"]=readme_tmx9ctl
    ["tmx9ctl write --port /dev/ttyUSB0 --port /dev/ttyUSB1 examples/profile.json"]=readme_tmx9ctl
    ["tmx9ctl check --port /dev/ttyUSB0 --port /dev/ttyUSB1 examples/profile.json"]=readme_tmx9ctl
    ["tmx9ctl default --port /dev/ttyUSB0 --trace trace.txt"]=readme_tmx9ctl
    ["tmx9ctl detect --port /dev/ttyUSB0 --port /dev/ttyUSB1"]=readme_tmx9ctl
    ["tmx9ctl read --port /dev/ttyUSB0 --baud auto"]=readme_tmx9ctl
    ["tmx9ctl read --from-trace trace.txt --out before.json"]=readme_tmx9ctl
    # The table is the first half of what --receiver prints.
    ["scripts/bench.sh"]=readme_benchmarks
    ["scripts/bench.sh --receiver"]=readme_benchmarks
    # ./test.sh runs the Windows build and its tests after the Linux parts: --prepare, then
    # --test-prepared, which is --test in two steps.
    ["scripts/windows.sh"]=.ci/run
    ["scripts/windows.sh --test"]=.ci/run
    ["scripts/windows.sh --test-prepared"]=.ci/run
)

registered=$(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
status=0
declare -A seen=()
while IFS=$'\t' read -r file command; do
    seen["$command"]=1
    test=${runBy["$command"]:-}
    if [ -z "$test" ]; then
        echo "FAIL: nothing runs this command of $file: $command"
        status=1
    elif [ "$test" = .ci/run ]; then
        grep -q 'test\.sh' "$source/.ci/run" || { echo "FAIL: .ci/run does not run ./test.sh"; status=1; }
        if [ "$command" != ./test.sh ] && ! grep -qF -- "${command%% *}" "$source/test.sh"; then
            echo "FAIL: ./test.sh does not run ${command%% *}"
            status=1
        fi
    elif ! grep -qx -- "$test" <<<"$registered"; then
        echo "FAIL: \"$command\" is said to be run by $test, which is not a test of this build"
        status=1
    fi
done < <(for file in "$source/README.md" "$source"/docs/*.md; do
    readme_commands "$file" | sed "s|^|${file#"$source"/}\t|"
done)

for command in "${!runBy[@]}"; do
    if [ -z "${seen["$command"]:-}" ]; then
        echo "FAIL: listed here but in neither the README nor docs/ any more: $command"
        status=1
    fi
done
[ $status -eq 0 ] && echo "${#seen[@]} commands of the README and docs/, each run by a test or by .ci/run"
exit $status
