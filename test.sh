#!/usr/bin/env bash
# Builds and runs the whole test suite. Installs what it needs from Debian first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

"$here/scripts/deps.sh" test

# The suite.
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# The receiver fuzz target, a fixed number of inputs (needs clang with libFuzzer).
if command -v clang++ >/dev/null; then
    fuzz="$here/build/fuzz"
    CC=clang CXX=clang++ cmake -S "$here" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTMX9_FUZZ=ON -DTMX9_BUILD_BENCH=OFF
    cmake --build "$fuzz" -j "$jobs" --target fuzz_receiver
    ctest --test-dir "$fuzz" --output-on-failure -L fuzz
else
    echo "clang++ not found: the fuzz target is skipped"
fi
