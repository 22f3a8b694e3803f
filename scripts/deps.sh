#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing.
#   scripts/deps.sh build   the configurator and its tools
#   scripts/deps.sh test    everything the test command uses as well
#   scripts/deps.sh pictures  what the README's pictures are made with
#   scripts/deps.sh windows   the Windows cross-build, its packages and Wine to test them
set -euo pipefail
# Names Debian 12 and 13 both know: unversioned ones where Debian has them (libclang-rt-dev, not
# libclang-rt-14-dev), so both install what the project needs.

# help2man makes the manual pages from the programs' --help.
want=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev help2man)
case "${1:-build}" in
build) ;;
# lintian and appstreamcli (appstream) judge the Debian package.
test) want+=(clang libclang-rt-dev libbenchmark-dev dpkg-dev desktop-file-utils file
              fonts-wqy-microhei xvfb x11-xserver-utils lintian appstream) ;;
# Without a CJK font the Chinese texts would be drawn as empty boxes; Xvfb is the X server they
# are drawn on.
pictures) want+=(fonts-wqy-microhei file xvfb) ;;
# The icon is drawn from the SVG (rsvg-convert) and packed into an .ico (icotool); Wine needs a
# display (Xvfb) even for the offscreen tests. Wine is only installed here: it runs only inside
# tests/windows/run.sh's private mount namespace (unshare -m), where every serial device of the
# machine is covered by a bind mount of /dev/null. DejaVu Sans stands in for Windows' dialog font.
windows) want+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 nsis zip unzip
                 xz-utils librsvg2-bin icoutils util-linux xvfb fonts-dejavu-core) ;;
*) echo "usage: $0 build|test|pictures|windows" >&2; exit 2 ;;
esac

missing=()
for pkg in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
install=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${install[@]}"
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive "${install[@]}"
else
    echo "Missing Debian packages. Run this, then try again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
