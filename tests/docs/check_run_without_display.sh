#!/usr/bin/env bash
# The README's run command on a machine without a desktop session: a clear message and a failure
# at once, before anything is installed or built.
#   check_run_without_display.sh SOURCE_DIR
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for args in "" "--real"; do
    # shellcheck disable=SC2086 # the empty argument list is meant
    if env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TMX9_BUILD_DIR="$scratch/build" \
        timeout 20 "$source/run.sh" $args >"$scratch/out" 2>"$scratch/err"; then
        echo "FAIL: ./run.sh $args succeeded without a display"
        exit 1
    fi
    grep -q '^run.sh: no display: start ./run.sh from a desktop session' "$scratch/err" ||
        { echo "FAIL: ./run.sh $args said:"; cat "$scratch/err"; exit 1; }
    [ "$(wc -l <"$scratch/err")" -eq 1 ] || { echo "FAIL: more than the message:"; cat "$scratch/err"; exit 1; }
    [ ! -s "$scratch/out" ] || { echo "FAIL: ./run.sh $args printed on stdout"; exit 1; }
    [ ! -e "$scratch/build" ] || { echo "FAIL: ./run.sh $args started a build"; exit 1; }
done
echo "./run.sh without a display: $(cat "$scratch/err")"
