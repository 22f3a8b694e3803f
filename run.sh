#!/usr/bin/env bash
# Builds the configurator and starts it. Installs what it needs from Debian first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

"$here/scripts/deps.sh" build

build="$here/build/app"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTMX9_BUILD_TESTS=OFF -DTMX9_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)" --target tmx9-config
exec "$build/tmx9-config" "$@"
