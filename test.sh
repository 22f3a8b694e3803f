#!/usr/bin/env bash
# Builds and runs the whole test suite twice, as built for use and with the sanitizers, then the
# fuzz targets, then the Windows build and its tests under Wine. Installs what it needs
# from Debian first. Exits non-zero if any part fails; every part runs all the same, so one run
# reports everything.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)
# Most of a test's time goes into the radio's own waits, and the tests judge what was asked of the
# line, not the clock, so twice as many run at once as there are cores.
tests_at_once=$((jobs * 2))
started=$SECONDS
failed=()

"$here/scripts/deps.sh" test

part() { echo; echo "== $* ($(( (SECONDS - started) / 60 )) min so far)"; }

# Builds run ahead, in the background and at low priority, while the tests before them spend most
# of their time waiting on the radio's pacing. Each keeps its output in a log, shown if it fails.
ahead() { # LOG COMMAND...: starts it; the caller takes the process from $!
    local log=$1
    shift
    (
        renice -n 10 "$BASHPID" >/dev/null || true
        "$@"
    ) >"$log" 2>&1 &
}
trap 'jobs -p | xargs -r kill 2>/dev/null' EXIT
ready() { # PID LOG WHAT: waits for a build ahead; false, with its log's end, if it failed
    wait "$1" && return 0
    echo "$3 failed (the end of $2):"
    tail -n 40 "$2"
    return 1
}

suite_env=(ASAN_OPTIONS=detect_leaks=1
    LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    TMX9_SOAK_CYCLES=60 TMX9_ROUNDTRIP_ROUNDS=20)
build="$here/build/test"
asan="$here/build/asan"
fuzz="$here/build/fuzz"
# The sanitizer build is the longest of the builds ahead: -O1, the sanitizers' own advice, and line
# tables only (all a report's stack needs) compile it in about half the time.
build_asan() {
    cmake -S "$here" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTMX9_SANITIZE=ON \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DTMX9_BUILD_BENCH=OFF
    cmake --build "$asan" -j "$jobs"
}
build_fuzz() {
    CC=clang CXX=clang++ cmake -S "$here" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTMX9_FUZZ=ON -DTMX9_BUILD_BENCH=OFF
    cmake --build "$fuzz" -j "$jobs" --target fuzz_targets
}
fuzzing=0
command -v clang++ >/dev/null && fuzzing=1
windows=0
why=$("$here/scripts/windows.sh" --toolchain 2>&1) && windows=1

part "The suite"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"
ahead "$here/build/asan-build.log" build_asan
asan_build=$!
ctest --test-dir "$build" --output-on-failure -j "$tests_at_once" || failed+=("the suite")

# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (gcc's). The options reach the
# tests that set none of their own. The soak and the round trip run fewer cycles here: their time
# goes into the waits the design prescribes, the code paths are the same from the first cycles on,
# and memory growth is judged in the build above (the sanitizer holds freed memory back).
part "The suite with sanitizers"
[ "$fuzzing" -eq 0 ] || { ahead "$here/build/fuzz-build.log" build_fuzz; fuzz_build=$!; }
[ "$windows" -eq 0 ] || {
    ahead "$here/build/windows-build.log" "$here/scripts/windows.sh" --prepare
    windows_build=$!
}
if ready "$asan_build" "$here/build/asan-build.log" "The sanitizer build"; then
    env "${suite_env[@]}" ctest --test-dir "$asan" --output-on-failure -j "$tests_at_once" ||
        failed+=("the suite with sanitizers")
else
    failed+=("the suite with sanitizers")
fi

# Every reader of outside input fuzzed, a fixed number of inputs each (needs clang with
# libFuzzer): the receiver, traces and window logs, state files, profiles. About two minutes on
# two cores, built while the sanitizer suite runs.
part "Fuzzing the readers"
if [ "$fuzzing" -eq 0 ]; then
    echo "clang++ not found: the fuzz targets are skipped"
elif ready "$fuzz_build" "$here/build/fuzz-build.log" "The fuzz build"; then
    ctest --test-dir "$fuzz" --output-on-failure -L fuzz -j "$jobs" || failed+=("fuzzing")
else
    failed+=("fuzzing")
fi

# The Windows build, its packages and the tests under Wine (scripts/windows.sh explains), with
# nothing else running: the Wine fault table keeps its margins for a slow machine, not a busy one.
part "Windows"
if [ "$windows" -eq 0 ]; then
    echo "Windows part skipped: $why"
elif ready "$windows_build" "$here/build/windows-build.log" "The Windows build"; then
    "$here/scripts/windows.sh" --test-prepared || failed+=("Windows")
else
    failed+=("Windows")
fi

echo
elapsed=$((SECONDS - started))
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: $(IFS=,; echo "${failed[*]}" | sed 's/,/, /g') ($((elapsed / 60)) min $((elapsed % 60)) s)"
    exit 1
fi
echo "All passed ($((elapsed / 60)) min $((elapsed % 60)) s)"
