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

part "The suite"
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$tests_at_once" || failed+=("the suite")

# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (gcc's). The options reach the
# tests that set none of their own. The soak and the round trip run fewer cycles here: their time
# goes into the waits the design prescribes, the code paths are the same from the first cycles on,
# and memory growth is judged in the build above (the sanitizer holds freed memory back).
part "The suite with sanitizers"
asan="$here/build/asan"
cmake -S "$here" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTMX9_SANITIZE=ON \
    -DTMX9_BUILD_BENCH=OFF
cmake --build "$asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    TMX9_SOAK_CYCLES=60 TMX9_ROUNDTRIP_ROUNDS=20 \
    ctest --test-dir "$asan" --output-on-failure -j "$tests_at_once" || failed+=("the suite with sanitizers")

# Every reader of outside input fuzzed, a fixed number of inputs each (needs clang with
# libFuzzer): the receiver, traces and window logs, state files, profiles. About five minutes on
# two cores, their build included.
part "Fuzzing the readers"
if command -v clang++ >/dev/null; then
    fuzz="$here/build/fuzz"
    CC=clang CXX=clang++ cmake -S "$here" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTMX9_FUZZ=ON -DTMX9_BUILD_BENCH=OFF
    cmake --build "$fuzz" -j "$jobs" --target fuzz_targets
    ctest --test-dir "$fuzz" --output-on-failure -L fuzz -j "$jobs" || failed+=("fuzzing")
else
    echo "clang++ not found: the fuzz targets are skipped"
fi

# The Windows build, its packages and the tests under Wine (scripts/windows.sh explains).
part "Windows"
if why=$("$here/scripts/windows.sh" --toolchain 2>&1); then
    "$here/scripts/windows.sh" --test || failed+=("Windows")
else
    echo "Windows part skipped: $why"
fi

echo
elapsed=$((SECONDS - started))
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: $(IFS=,; echo "${failed[*]}" | sed 's/,/, /g') ($((elapsed / 60)) min $((elapsed % 60)) s)"
    exit 1
fi
echo "All passed ($((elapsed / 60)) min $((elapsed % 60)) s)"
