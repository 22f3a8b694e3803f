#!/usr/bin/env bash
# Makes the Debian package of a built tree, unpacks it into a scratch folder and checks what a
# user would get: the programs, valid desktop entries, the icon, and the dependency line. Then
# the same install rules once more through cmake --install. Debian's own checkers judge it: lintian
# --pedantic and appstreamcli --pedantic.
#   check_package.sh BUILD_DIR VERSION SOURCE_DIR
set -euo pipefail
build=$1
version=$2
source=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack"
fi
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

[ "$(dpkg-deb -f "$deb" Package)" = tmx9-config ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "files outside /usr: $outside"

for program in tmx9-config tmx9-demo tmx9-sim tmx9ctl; do
    [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing"
done
# Only programs in bin: no test or tool of the build.
for file in "$root"/usr/bin/*; do
    case $(basename "$file") in
    tmx9-config | tmx9-demo | tmx9-sim | tmx9ctl) ;;
    *) fail "unexpected program usr/bin/$(basename "$file")" ;;
    esac
done
# The packaged simulated radio runs against the system's libraries.
# Read whole first: grep -q stops at the first match, and the writer would die of SIGPIPE.
help=$("$root/usr/bin/tmx9-sim" --help) && grep -q -- --link <<<"$help" ||
    fail "packaged tmx9-sim --help"

icon=$root/usr/share/icons/hicolor/scalable/apps/tmx9-config.svg
grep -q '<svg' "$icon" || fail "icon missing or not SVG"
for entry in tmx9-config tmx9-demo; do
    desktop=$root/usr/share/applications/$entry.desktop
    [ -f "$desktop" ] || fail "$entry.desktop missing"
    desktop-file-validate "$desktop" || fail "$entry.desktop does not validate"
    exec=$(sed -n 's/^Exec=//p' "$desktop")
    [ -x "$root/usr/bin/$exec" ] || fail "$entry.desktop starts $exec, which is not installed"
    [ "$(sed -n 's/^Icon=//p' "$desktop")" = tmx9-config ] || fail "$entry.desktop icon"
done

# Depends: Debian's Qt 5 runtime packages, and every package named there exists on Debian.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(echo "$depends" | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g')
# Debian 13 renamed the libraries whose interface holds a time_t (64-bit time_t): libqt5core5a
# became libqt5core5t64, libqt5gui5 libqt5gui5t64; the new names provide the old ones.
for needed in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5; do
    grep -qx -e "$needed" -e "${needed%a}t64" <<<"$names" || fail "Depends lacks $needed"
done
for name in $names; do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" ||
        fail "Depends names $name, which is not an installed Debian package"
done
# What the README's "sudo apt install ./...deb" does, simulated: the dependencies resolve.
apt-get install --simulate "$deb" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log" >&2; fail "apt-get install --simulate"; }
grep -q '^Inst tmx9-config ' "$scratch/apt.log" || { cat "$scratch/apt.log" >&2; fail "apt would not install it"; }

# Debian's rules: no error and no warning; the only override is the maintainer address.
lintian --pedantic --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; fail "lintian"; }
others=$(grep -v -e '^#' -e ' bogus-mail-host.* tmx9-config@localhost' \
    "$root/usr/share/lintian/overrides/tmx9-config" || true)
[ -z "$others" ] || fail "lintian overrides other than the maintainer address: $others"

doc=$root/usr/share/doc/tmx9-config
[ "$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] ||
    fail "the changelog's newest entry is not $version"
# The copyright file carries the LICENSE's text, word for word.
[ "$(tac "$doc/copyright" | sed '/^License: Expat$/q' | tac | tail -n +2 | sed 's/^ //; s/^\.$//')" = \
    "$(tail -n +5 "$source/LICENSE")" ] || fail "copyright and LICENSE differ"

# Manual pages, section 1, made from each program's --help (the window: a page of its own).
for program in tmx9-config tmx9-demo tmx9-sim tmx9ctl; do
    page=$root/usr/share/man/man1/$program.1.gz
    [ -f "$page" ] || fail "no manual page for $program"
    grep -q "^\.TH.* \"$program $version\"" <<<"$(zcat "$page")" || fail "$program.1: not version $version"
done
grep -q -- 'Show the version' <<<"$(zcat "$root/usr/share/man/man1/tmx9ctl.1.gz")" ||
    fail "tmx9ctl.1 is not its --help"

# Bash completes tmx9ctl where bash-completion looks, as it does from the build.
completion=$root/usr/share/bash-completion/completions/tmx9ctl
[ -f "$completion" ] || fail "no bash completion for tmx9ctl"
bash "$source/tests/cli/check_completion.sh" "$completion" >"$scratch/completion.log" ||
    { cat "$scratch/completion.log" >&2; fail "the packaged bash completion"; }

# AppStream: valid, names the desktop entry, and shows the README's pictures.
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || fail "expected one metainfo file: ${metainfo[*]}"
appstreamcli validate --pedantic --no-net "${metainfo[0]}" || fail "appstreamcli validate"
launch=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "${metainfo[0]}")
[ -f "$root/usr/share/applications/$launch" ] || fail "metainfo launches $launch, which is not installed"
pictures=$(grep -o 'docs/images/[a-z-]*\.png' "$source/README.md" | sed 's|.*/||' | sort -u)
shots=$(grep -o '/[a-z-]*\.png</image>' "${metainfo[0]}" | sed 's|/||; s|</image>||' | sort -u)
[ -n "$pictures" ] && [ "$pictures" = "$shots" ] || fail "screenshots $shots are not the README's $pictures"
grep -q "<release version=\"$version\"" "${metainfo[0]}" || fail "metainfo lacks release $version"

# cmake --install lays out the same files under any prefix.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for file in bin/tmx9-config bin/tmx9-demo bin/tmx9-sim share/applications/tmx9-config.desktop \
    share/applications/tmx9-demo.desktop share/icons/hicolor/scalable/apps/tmx9-config.svg; do
    [ -f "$scratch/prefix/$file" ] || fail "cmake --install: $file missing"
done
echo "package OK"
