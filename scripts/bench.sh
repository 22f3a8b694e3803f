#!/usr/bin/env bash
# Builds the benchmarks in Release and prints the side-by-side table (Markdown).
#   scripts/bench.sh            the table
#   scripts/bench.sh --quick    fewer repetitions
#   scripts/bench.sh --receiver the table, then the receiver's Google Benchmark figures
# TMX9_BENCH_BUILD=DIR takes the benchmarks of a build tree already configured (the test suite's)
# instead of a Release build of their own.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

"$here/scripts/deps.sh" test

receiver=0
args=()
for arg in "$@"; do
    case "$arg" in
    --receiver) receiver=1 ;;
    --quick) args+=(--quick) ;;
    *) echo "usage: $0 [--quick] [--receiver]" >&2; exit 2 ;;
    esac
done

build=${TMX9_BENCH_BUILD:-$here/build/bench}
if [ -z "${TMX9_BENCH_BUILD:-}" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTMX9_BUILD_TESTS=OFF \
        -DTMX9_BUILD_BENCH=ON >/dev/null
fi
targets=(bench_table bench_shown_window bench_shown_bare bench_shown_label bench_cli)
[ "$receiver" -eq 1 ] && targets+=(bench_receiver)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null

# The window keeps its traffic log, as it does in use, but in the build tree.
export TMX9_LOG_DIR="$build/logs"
echo "$(date '+%Y-%m-%d'), $(nproc) cores, $(uname -m); figures of one run on this machine"
echo
QT_QPA_PLATFORM=offscreen "$build/bench/bench_table" "${args[@]}"
"$build/bench/bench_cli" "${args[@]}" # more rows of the same table
if [ "$receiver" -eq 1 ]; then
    echo
    "$build/bench/bench_receiver" --benchmark_min_time=0.2
fi
