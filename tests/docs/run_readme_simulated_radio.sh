#!/usr/bin/env bash
# Runs the commands of the simulated radio's manual (docs/simulated-radio.md) as written, on this
# build, with a scratch path for /tmp/tmx9: the first starts the radio, the others talk to it.
#   run_readme_simulated_radio.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
build=$2
. "$(dirname "$0")/readme_commands.sh"
scratch=$(mktemp -d)
sim=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$scratch/log" ] && cat "$scratch/log"; exit 1; }

mapfile -t commands < <(readme_commands "$source/docs/simulated-radio.md" |
    sed "s|/tmp/tmx9|$scratch/tmx9|g")
[ ${#commands[@]} -ge 2 ] || fail "expected the radio's command and at least one more"
case ${commands[0]} in
"./run.sh --sim "*) ;;
*) fail "the manual should start the radio with ./run.sh --sim: ${commands[0]}" ;;
esac

cd "$source"
# The radio runs until it is killed, so it runs in the background here.
TMX9_BUILD_DIR=$build bash -c "exec ${commands[0]}" >"$scratch/port" 2>"$scratch/log" &
sim=$!
for _ in $(seq 300); do
    [ -L "$scratch/tmx9" ] && [ -s "$scratch/port" ] && break
    kill -0 "$sim" 2>/dev/null || fail "the radio stopped"
    sleep 0.1
done
[ -L "$scratch/tmx9" ] || fail "no link $scratch/tmx9"
port=$(head -n1 "$scratch/port")
[[ $port == /dev/pts/* ]] || fail "first line is not the port: $port"
[ "$(readlink "$scratch/tmx9")" = "$port" ] || fail "the link does not lead to $port"

for command in "${commands[@]:1}"; do
    bash -c "$command" >>"$scratch/out" 2>&1 || fail "$command"
done
grep -q '^TMX9 SN SN0001 FW V2.10 N=69' "$scratch/out" || fail "answer: $(cat "$scratch/out")"
grep -q '^->.*LOG RADIOINFO$' "$scratch/log" || fail "the log lacks the command"
grep -q '^<-.*reply "TMX9 SN SN0001 FW V2.10 N=69"$' "$scratch/log" || fail "the log lacks the reply"
echo "The manual's simulated radio on $port answered: $(tr -d '\r' <"$scratch/out")"
