#!/usr/bin/env bash
# Two builds of one commit give byte-identical Debian packages: the package of this build tree
# against that of a second tree in another folder, configured alike, built only as far as the
# package needs. Both are dated from the last commit (SOURCE_DATE_EPOCH). The second tree lies
# beside the first, so both reach the sources by the same relative path, which is what the compiler
# sees through a cache with a base folder (ccache's base_dir). It is kept, so the next run builds
# only what changed.
#   check_reproducible.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

second=$(dirname "$build")/reproducible-check
[ "$second" != "$build" ] || fail "the build tree is itself $second"
cmake -S "$source" -B "$second" -G "$(cache CMAKE_GENERATOR)" \
    -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" -DTMX9_BUILD_TESTS=OFF -DTMX9_BUILD_BENCH=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(cache CMAKE_CXX_COMPILER_LAUNCHER)" \
    >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log" >&2; fail "configure"; }
cmake --build "$second" -j "$(nproc)" >"$scratch/build.log" 2>&1 ||
    { tail -30 "$scratch/build.log" >&2; fail "second build"; }

debs=()
for tree in "$build" "$second"; do
    out=$scratch/out$((${#debs[@]} + 1))
    cpack --config "$tree/CPackConfig.cmake" -B "$out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log" >&2; fail "cpack in $tree"; }
    debs+=("$(ls "$out"/*.deb)")
done
echo "${debs[0]##*/}: $(stat -c %s "${debs[0]}") bytes, dated $(dpkg-deb --fsys-tarfile "${debs[0]}" |
    tar -tv --full-time | awk 'NR == 1 { print $4, $5 }')"
if ! cmp "${debs[@]}"; then
    # Say which files differ.
    for i in 0 1; do
        mkdir "$scratch/x$i" && dpkg-deb -R "${debs[$i]}" "$scratch/x$i"
        dpkg-deb --fsys-tarfile "${debs[$i]}" | tar -tv --full-time >"$scratch/list$i"
    done
    diff -r "$scratch/x0" "$scratch/x1" >&2 || true
    diff "$scratch/list0" "$scratch/list1" >&2 || true
    launcher=$(cache CMAKE_CXX_COMPILER_LAUNCHER)
    fail "two builds of one commit give different packages${launcher:+ (both built through $launcher:" \
        "its settings, such as CCACHE_BASEDIR, must be those $build was built with)}"
fi
echo "two builds, byte-identical packages"
