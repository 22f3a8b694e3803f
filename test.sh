#!/usr/bin/env bash
# Builds and runs the whole test suite. Installs what it needs from Debian first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

"$here/scripts/deps.sh" test

build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
