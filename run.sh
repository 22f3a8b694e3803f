#!/usr/bin/env bash
# Builds and starts the configurator. Installs what it needs from Debian first.
#   ./run.sh                  the window with a simulated radio's port added and selected
#   ./run.sh --real           the plain configurator (tmx9-config), for a radio on a serial port
#   ./run.sh --sim [OPTIONS]  only the simulated radio (tmx9-sim); needs no display
# Further arguments go to the program. TMX9_BUILD_DIR: use this configured build tree instead.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

target=tmx9-demo
case "${1:-}" in
--real) target=tmx9-config; shift ;;
--sim) target=tmx9-sim; shift ;;
esac

# Before any building: without a display the window could not open anyway.
if [ "$target" != tmx9-sim ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display: start ./run.sh from a desktop session (the tests need none: ./test.sh)" >&2
    exit 1
fi

"$here/scripts/deps.sh" build

# Build output goes to stderr: standard output is the program's (tmx9-sim prints its port there).
build=${TMX9_BUILD_DIR:-$here/build/app}
if [ -z "${TMX9_BUILD_DIR:-}" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTMX9_BUILD_TESTS=OFF -DTMX9_BUILD_BENCH=OFF >&2
fi
cmake --build "$build" -j "$(nproc)" --target "$target" >&2

case $target in
tmx9-demo) exec "$build/demo/tmx9-demo" "$@" ;;
tmx9-config) exec "$build/tmx9-config" "$@" ;;
tmx9-sim) exec "$build/sim/tmx9-sim" "$@" ;;
esac
