#!/usr/bin/env bash
# Rebuilds the toolchain scripts/windows.sh uses: Qt 5.15.8 (qtbase and qtserialport) for 64-bit
# Windows, cross-built with Debian 12's MinGW-w64 (POSIX threads), packed as qt5.15.8-mingw64.tar.xz
# with one folder qt5-mingw64/ inside. About an hour on two cores. Needs root: it installs Debian
# packages and installs Qt into /opt/qt5-mingw64 (the prefix baked into the build; the tarball
# works wherever it is unpacked).
#
#   scripts/build-qt-mingw.sh [--serialport TARBALL] [--qtbase TARBALL] [--work DIR] [--out DIR]
#                             [--sources-only]
#
#   qtbase        Debian's source package qtbase-opensource-src, or its .orig tarball (--qtbase)
#   qtserialport  Debian's source package qtserialport-opensource-src, or a source tarball of the
#                 5.15.8 release (--serialport), with or without its generated include/ folder
#   --work        where the sources are unpacked and built (build/qt-mingw/work)
#   --out         where the tarball goes (build/qt-mingw)
#   --sources-only  fetch and prepare the sources, then stop (no compiling)
# Then: TMX9_QT_MINGW=<out>/qt5.15.8-mingw64.tar.xz scripts/windows.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=5.15.8
prefix=/opt/qt5-mingw64
work=$root/build/qt-mingw/work
out=$root/build/qt-mingw
qtbase_tarball=
serialport_tarball=
sources_only=
while [ $# -gt 0 ]; do
    case "$1" in
    --serialport) serialport_tarball=$(realpath "$2"); shift ;;
    --qtbase) qtbase_tarball=$(realpath "$2"); shift ;;
    --work) work=$(realpath -m "$2"); shift ;;
    --out) out=$(realpath -m "$2"); shift ;;
    --sources-only) sources_only=1 ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d;s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "run it as root (apt-get, $prefix)" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
"$root/scripts/deps.sh" windows
apt-get install -y -qq --no-install-recommends perl python3 make xz-utils dpkg-dev >/dev/null
for tool in gcc g++; do
    update-alternatives --set x86_64-w64-mingw32-$tool /usr/bin/x86_64-w64-mingw32-$tool-posix >/dev/null
done

mkdir -p "$work" "$out"
cd "$work"

# Debian's source packages, through deb-src lines of our own: the system's apt sources stay as
# they are.
apt_src=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt/sources"
         -o Dir::State::Lists="$work/apt/lists")
debian_source() {
    if [ ! -d "$work/apt/lists" ]; then
        mkdir -p "$work/apt/sources" "$work/apt/lists/partial"
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            >"$work/apt/sources/debian-src.sources"
        apt-get "${apt_src[@]}" update -qq
    fi
    if ! apt-get "${apt_src[@]}" source --download-only -qq "$1"; then
        echo "could not download Debian's $1; give a local source tarball ($2 TARBALL)" >&2
        exit 1
    fi
}

# Unpacks a tarball into a fresh folder and prints the folder that holds the .pro file.
unpack() {
    rm -rf "$2" && mkdir -p "$2" && tar -C "$2" -xf "$1"
    dirname "$(find "$2" -maxdepth 2 -name "$3" -print -quit)"
}

if [ ! -f qtbase.ready ]; then
    if [ -z "$qtbase_tarball" ]; then
        ls qtbase-opensource-src_$version*.orig.tar.xz >/dev/null 2>&1 ||
            debian_source qtbase-opensource-src --qtbase
        qtbase_tarball=$(realpath qtbase-opensource-src_$version*.orig.tar.xz)
    fi
    qtbase=$(unpack "$qtbase_tarball" "$work/qtbase-src" qtbase.pro)
    # Debian's qtbase source leaves out the Wintab headers (their licence is not free). The
    # Windows platform plugin needs them for tablet input: Wine's LGPL wintab.h and pktdef.h from
    # Debian's libwine-dev take their place, behind a shim for the Wine-only macros they use.
    wintab=$qtbase/src/3rdparty/wintab
    if [ ! -f "$wintab/wintab.h" ]; then
        rm -rf winedev && mkdir winedev
        (cd winedev && apt-get download -qq libwine-dev && dpkg-deb -x libwine-dev_*.deb x)
        mkdir -p "$wintab"
        cp winedev/x/usr/include/wine/wine/windows/wintab.h "$wintab/wine_wintab.h"
        cp winedev/x/usr/include/wine/wine/windows/pktdef.h "$wintab/pktdef.h"
        cat >"$wintab/wintab.h" <<'SHIM'
/* Wine's wintab.h with the two Wine-only macros it uses, and the calling-convention macro Qt uses. */
#ifndef QT_MINGW_WINTAB_SHIM_H
#define QT_MINGW_WINTAB_SHIM_H
#include <windows.h>
#ifdef UNICODE
# define DECL_WINELIB_TYPE_AW(type) typedef type##W type;
# define WINELIB_NAME_AW(name) name##W
#else
# define DECL_WINELIB_TYPE_AW(type) typedef type##A type;
# define WINELIB_NAME_AW(name) name##A
#endif
#ifndef API
# define API WINAPI
#endif
#include "wine_wintab.h"
#endif
SHIM
    fi
    echo "$qtbase" >qtbase.ready
fi
qtbase=$(cat qtbase.ready)

if [ ! -f serialport.ready ]; then
    if [ -z "$serialport_tarball" ]; then
        ls qtserialport-opensource-src_$version*.orig.tar.xz >/dev/null 2>&1 ||
            debian_source qtserialport-opensource-src --serialport
        serialport_tarball=$(realpath qtserialport-opensource-src_$version*.orig.tar.xz)
    fi
    serialport=$(unpack "$serialport_tarball" "$work/serialport-src" qtserialport.pro)
    # Sources taken from the release tag lack the forwarding headers the release tarballs carry.
    if [ ! -d "$serialport/include/QtSerialPort" ]; then
        perl "$qtbase/bin/syncqt.pl" -module QtSerialPort -version $version -outdir "$serialport" \
            "$serialport"
    fi
    echo "$serialport" >serialport.ready
fi
serialport=$(cat serialport.ready)
echo "Sources ready: $qtbase, $serialport" >&2
[ -z "$sources_only" ] || exit 0

if [ -e "$prefix" ] && [ ! -f qtbase.installed ]; then
    echo "$prefix exists: move it away first, the build installs there" >&2
    exit 1
fi

if [ ! -f qtbase.installed ]; then
    rm -rf build-qtbase && mkdir build-qtbase
    (cd build-qtbase &&
        "$qtbase/configure" -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
            -prefix "$prefix" -opensource -confirm-license -release -shared -strip \
            -nomake examples -nomake tests -no-opengl -no-dbus -no-icu \
            -no-sql-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-feature-sql \
            -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre -no-ssl -no-openssl \
            -no-feature-concurrent -no-feature-vulkan &&
        make -j"$(nproc)" sub-src && make install)
    touch qtbase.installed
fi

rm -rf build-qtserialport && mkdir build-qtserialport
(cd build-qtserialport && "$prefix/bin/qmake" "$serialport/qtserialport.pro" && make -j"$(nproc)" &&
    make install)

# The MinGW runtime DLLs every program built with this compiler needs, beside Qt's.
for dll in libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll; do
    cp "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)" "$prefix/bin/"
    x86_64-w64-mingw32-strip --strip-unneeded "$prefix/bin/$dll"
done
for tool in qmake moc uic rcc qlalr qvkgen tracegen; do
    if [ -f "$prefix/bin/$tool" ]; then strip "$prefix/bin/$tool"; fi
done

tarball=$out/qt$version-mingw64.tar.xz
tar -C "$(dirname "$prefix")" -cJf "$tarball" "$(basename "$prefix")"
echo "Packed $tarball; use it with: TMX9_QT_MINGW=$tarball scripts/windows.sh" >&2
