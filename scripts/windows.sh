#!/usr/bin/env bash
# Builds tmx9-config and tmx9ctl for 64-bit Windows (Release) and packs them, all under
# build/windows/:
#   tmx9-config-<version>-win64.zip        one folder: the programs, their DLLs and plugins, README.txt
#   tmx9-config-<version>-win64-setup.exe  the installer (NSIS, 64-bit)
#
#   scripts/windows.sh              build and pack
#   scripts/windows.sh --prepare    the same, and the Linux programs the tests need
#   scripts/windows.sh --test       the same, then the tests under Wine (tests/windows/run.sh)
#   scripts/windows.sh --test-prepared  only the tests, on what the last --prepare made (./test.sh
#                                   packs once, ahead, while other tests run)
#   scripts/windows.sh --toolchain  print the toolchain it would use, or why there is none (status 77)
#
# The toolchain: Qt 5.15 for MinGW-w64, a tarball or an unpacked prefix, from TMX9_QT_MINGW, else
# ../shared/toolchains/qt5.15.8-mingw64.tar.xz beside the project; scripts/build-qt-mingw.sh makes
# one. A tarball is unpacked once into build/windows/qt5-mingw64 and reused while it is unchanged.
# Without a toolchain the script stops with status 77 and one line saying how to get one.
#
# What --test hands to tests/windows/run.sh BUILD_DIR (BUILD_DIR = build/windows), also exported:
#   TMX9_WIN_BUILD   BUILD_DIR/cross    the Windows CMake build tree (tmx9-config.exe, cli/tmx9ctl.exe,
#                                       and whatever tests/windows builds there)
#   TMX9_QT_PREFIX   the Qt prefix      DLLs in bin/, plugins in plugins/ (qoffscreen for the tests)
#   TMX9_WIN_STAGE   the unpacked package folder (what the zip holds)
#   TMX9_WIN_ZIP     the zip
#   TMX9_WIN_SETUP   the installer
#   TMX9_LINUX_BUILD BUILD_DIR/linux    Release build of the Linux tmx9-sim (sim/tmx9-sim) and
#                                       tmx9ctl (cli/tmx9ctl)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/windows
started=$SECONDS

mode=build
case "${1:-}" in
'') ;;
--prepare) mode="prepare" ;;
--test) mode="test" ;;
--test-prepared) mode="test-prepared" ;;
--toolchain) mode="toolchain" ;;
*) echo "usage: $0 [--prepare | --test | --test-prepared | --toolchain]" >&2; exit 2 ;;
esac

# The toolchain: TMX9_QT_MINGW, else the prebuilt copy beside the project.
source=${TMX9_QT_MINGW:-$root/../shared/toolchains/qt5.15.8-mingw64.tar.xz}
if [ ! -e "$source" ]; then
    echo "no Qt for MinGW-w64 at $source: set TMX9_QT_MINGW to a qt5-mingw64 tarball or prefix," \
        "or build one with scripts/build-qt-mingw.sh (about an hour)" >&2
    exit 77
fi
source=$(realpath "$source")
if [ "$mode" = toolchain ]; then
    echo "$source"
    exit 0
fi

"$root/scripts/deps.sh" build
"$root/scripts/deps.sh" windows
# Like the toolchain's recipe: the POSIX-threads flavour of MinGW-w64 (the toolchain file names the
# -posix compilers itself; this is for anything that calls the plain names).
if [ "$(id -u)" -eq 0 ]; then
    for tool in gcc g++; do
        update-alternatives --set x86_64-w64-mingw32-$tool /usr/bin/x86_64-w64-mingw32-$tool-posix \
            >/dev/null
    done
fi

mkdir -p "$out"
if [ -d "$source" ]; then
    qt=$source
else
    # Unpacked once; the stamp names the tarball, its size and its time, and is written last, so
    # an interrupted unpacking is done again.
    qt=$out/qt5-mingw64
    stamp="$source $(stat -c '%s %Y' "$source")"
    if [ ! -f "$qt.stamp" ] || [ "$(cat "$qt.stamp")" != "$stamp" ] || [ ! -d "$qt" ]; then
        echo "Unpacking $source" >&2
        rm -rf "$qt" "$qt.stamp" "$out/unpack"
        mkdir "$out/unpack"
        tar -C "$out/unpack" -xf "$source"
        top=$(dirname "$(dirname "$(dirname "$(find "$out/unpack" -path '*/lib/cmake/Qt5Core' -print -quit)")")")
        [ "$top" != . ] || { echo "no lib/cmake/Qt5Core in $source" >&2; exit 1; }
        mv "$top" "$qt"
        rm -rf "$out/unpack"
        echo "$stamp" >"$qt.stamp"
    fi
fi
[ -d "$qt/lib/cmake/Qt5Core" ] || { echo "$qt is no Qt prefix (no lib/cmake/Qt5Core)" >&2; exit 1; }

cross=$out/cross
linux=$out/linux
# --test-prepared takes what the last --prepare built and packed, as it left it.
if [ "$mode" != test-prepared ]; then
    echo "== Windows build with $qt" >&2
    cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
        -DTMX9_BUILD_BENCH=OFF >/dev/null
    nice -n 10 cmake --build "$cross" -j "$(nproc)"
fi
[ -f "$cross/CMakeCache.txt" ] ||
    { echo "nothing built in $cross: run $0 --prepare first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cross/CMakeCache.txt")
name=tmx9-config-$version-win64
stage=$out/stage/$name
zip=$out/$name.zip
setup=$out/$name-setup.exe
if [ "$mode" != test-prepared ]; then
    rm -rf "$out/stage"
    # Stripping stamps each program with the time, or with SOURCE_DATE_EPOCH: the last commit's.
    SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
    export SOURCE_DATE_EPOCH
    cmake --install "$cross" --prefix "$stage" --strip >/dev/null
    "$root/packaging/windows/check-deploy.sh" "$stage"

    rm -f "$zip"
    # Dated from the last commit and packed in a fixed order, so two builds of one commit give the
    # same zip (the zip stores local time: UTC here).
    find "$out/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    (cd "$out/stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$zip")

    # The installer's file lists, from the package folder.
    files=$out/installer-files.nsh
    unfiles=$out/installer-unfiles.nsh
    winpath() { echo "${1//\//\\}"; }
    : >"$files"
    : >"$unfiles"
    while read -r dir; do
        d=${dir#.}
        echo "SetOutPath \"\$INSTDIR$(winpath "$d")\"" >>"$files"
        while read -r f; do
            echo "File \"$stage/${f#./}\"" >>"$files"
            echo "Delete \"\$INSTDIR\\$(winpath "${f#./}")\"" >>"$unfiles"
        done < <(cd "$stage" && find "$dir" -maxdepth 1 -type f | sort)
    done < <(cd "$stage" && find . -type d | sort)
    # Folders after their files, the deepest first; the install folder itself last, by the script.
    (cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
        echo "RMDir \"\$INSTDIR\\$(winpath "${dir#./}")\"" >>"$unfiles"
    done
    size_kb=$(du -sk "$stage" | cut -f1)
    rm -f "$setup"
    makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$files" -DUNFILES="$unfiles" \
        -DICON="$cross/packaging/windows/tmx9-config.ico" -DSIZE_KB="$size_kb" -DOUTFILE="$setup" \
        "$root/packaging/windows/installer.nsi"

    echo "Packed $zip ($(du -k "$zip" | cut -f1) KiB) and $setup ($(du -k "$setup" | cut -f1) KiB)" \
        "in $((SECONDS - started)) s" >&2
fi
[ "$mode" != build ] || exit 0

if [ "$mode" != test-prepared ]; then
    echo "== Linux tmx9-sim and tmx9ctl for the tests" >&2
    cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTMX9_BUILD_TESTS=OFF \
        -DTMX9_BUILD_BENCH=OFF >/dev/null
    nice -n 10 cmake --build "$linux" -j "$(nproc)" --target tmx9-sim tmx9ctl
fi
[ "$mode" = test ] || [ "$mode" = test-prepared ] || exit 0

run=$root/tests/windows/run.sh
[ -x "$run" ] || { echo "$run is missing: no tests under Wine" >&2; exit 1; }
echo "== Tests under Wine" >&2
export TMX9_WIN_BUILD=$cross TMX9_QT_PREFIX=$qt TMX9_WIN_STAGE=$stage TMX9_WIN_ZIP=$zip \
    TMX9_WIN_SETUP=$setup TMX9_LINUX_BUILD=$linux
status=0
"$run" "$out" || status=$?
echo "Windows build, packages and tests: $((SECONDS - started)) s" >&2
exit $status
