#!/usr/bin/env bash
# Runs a command as a new machine would: in a fresh minimal Debian root (debootstrap
# --variant=minbase, entered with chroot), on a clean clone of this repository's committed HEAD,
# with a copy of ../shared beside it. Needs root. Takes long (a whole test run): not for CI.
#
#   scripts/fresh-root.sh RELEASE [COMMAND]   RELEASE: bookworm or trixie;
#                                             COMMAND (bash, in the clone): default "bash .ci/run"
#   scripts/fresh-root.sh RELEASE --demo      ./run.sh on a virtual X server: passes when the
#                                             demo is still running 30 s after it started
#
# The base root is made once and kept in build/fresh-root/RELEASE.base (delete it to make it
# again); every run works on a new copy, build/fresh-root/RELEASE.run (RELEASE.demo for --demo,
# so both can run at once), kept until the next run for a look at what happened
# (TMX9_FRESH_ROOT_AGAIN=1 runs COMMAND in it again). The copy is a mount point of its own (a bind
# mount onto itself), or unshare -m would fail inside it; proc, sys and a private /dev (no serial
# devices in it, its own pseudo-terminals) are mounted, all in a private mount namespace of this
# script, and unmounted on exit.
set -euo pipefail
# Read whole before it runs: a run takes long, and bash reads a script as it goes.
{
root_dir=$(cd "$(dirname "$0")/.." && pwd)
mirror=${TMX9_DEBIAN_MIRROR:-http://deb.debian.org/debian}

release=${1:-}
case $release in
bookworm | trixie) ;;
*) echo "usage: $0 bookworm|trixie [COMMAND | --demo]" >&2; exit 2 ;;
esac
command=${2:-bash .ci/run}
[ "$(id -u)" -eq 0 ] || { echo "fresh-root.sh: needs root (debootstrap, chroot, mount)" >&2; exit 1; }

# The mounts below live and die with a private mount namespace of this script.
if [ -z "${TMX9_FRESH_ROOT_NS:-}" ]; then
    TMX9_FRESH_ROOT_NS=1 exec unshare -m --propagation private "$0" "$@"
fi

for tool in debootstrap git; do
    command -v $tool >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $tool
done

cache=$root_dir/build/fresh-root
base=$cache/$release.base
mkdir -p "$cache"
if [ ! -d "$base" ]; then
    echo "== debootstrap $release into $base" >&2
    rm -rf "$base.new"
    debootstrap --variant=minbase "$release" "$base.new" "$mirror" >"$cache/$release.debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/$release.debootstrap.log" >&2; exit 1; }
    # The updates and the security fixes, as an installed system has them.
    cat >"$base.new/etc/apt/sources.list" <<EOF
deb $mirror $release main
deb $mirror $release-updates main
deb http://deb.debian.org/debian-security $release-security main
EOF
    mv "$base.new" "$base"
fi

root=$cache/$release.run
[ "$command" != --demo ] || root=$cache/$release.demo
if [ -n "${TMX9_FRESH_ROOT_AGAIN:-}" ] && [ -d "$root/work/tmx9-config" ]; then
    # For a closer look at a failure: the last run's root as it was left.
    echo "== the root of the last run, $root" >&2
else
    rm -rf "$root"
    echo "== fresh copy of $base" >&2
    cp -a "$base" "$root"
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"

    # The clean clone of the committed HEAD (not the work tree), and ../shared beside it.
    head=$(git -C "$root_dir" rev-parse HEAD)
    mkdir -p "$root/work"
    git clone -q --no-local "$root_dir" "$root/work/tmx9-config"
    git -C "$root/work/tmx9-config" checkout -q -B main "$head"
    git -C "$root/work/tmx9-config" remote remove origin
    [ ! -d "$root_dir/../shared" ] || cp -a "$root_dir/../shared" "$root/work/shared"
fi

cleanup() {
    # Whatever the command left running inside the root (an X server, a wineserver).
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null
    done
    umount -R "$root" 2>/dev/null || true
}
trap cleanup EXIT

mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
ln -s /proc/self/fd "$root/dev/fd"
for fd in 0:stdin 1:stdout 2:stderr; do ln -s "/proc/self/fd/${fd%%:*}" "$root/dev/${fd#*:}"; done

if [ "$command" = --demo ]; then
    # A desktop stand-in (Xvfb); run.sh builds and starts the demo, which must still be running
    # 30 s after it replaced run.sh.
    read -r -d '' command <<'EOF' || true
apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb >/dev/null
Xvfb :7 -nolisten tcp -screen 0 1280x1024x24 2>/tmp/xvfb.log &
DISPLAY=:7 ./run.sh >/tmp/demo.out 2>/tmp/demo.err &
demo=$!
while kill -0 $demo 2>/dev/null && [ "$(basename "$(readlink /proc/$demo/exe)")" != tmx9-demo ]; do sleep 1; done
kill -0 $demo 2>/dev/null || { echo "FAIL: run.sh ended"; tail -n 30 /tmp/demo.err; exit 1; }
sleep 30
kill -0 $demo 2>/dev/null || { echo "FAIL: the demo ended within 30 s"; tail -n 30 /tmp/demo.err; exit 1; }
echo "PASS: tmx9-demo (pid $demo) is running on the virtual X server after 30 s"
tail -n 3 /tmp/demo.out
kill $demo
EOF
fi

echo "== $release: $command" >&2
started=$SECONDS
status=0
chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /work/tmx9-config && $command" </dev/null || status=$?
elapsed=$((SECONDS - started))
echo "== $release: status $status after $((elapsed / 60)) min $((elapsed % 60)) s" >&2
exit $status
}
