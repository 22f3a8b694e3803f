#!/usr/bin/env bash
# Runs the commands of the README's "When something goes wrong" section as written, on this build:
# an older simulated radio stands in for /dev/ttyUSB0 and a scratch path for /tmp/tmx9. The radio
# replayed from the trace must read as the traced one.
#   run_readme_replay.sh SOURCE_DIR BUILD_DIR TMX9CTL TMX9_SIM
set -euo pipefail
source=$(cd "$1" && pwd)
build=$2
bin=$(cd "$(dirname "$3")" && pwd)
sim=$4
. "$(dirname "$0")/readme_commands.sh"
. "$(dirname "$0")/../support/radios.sh"
waitForLink() {
    for _ in $(seq 300); do [ -L "$1" ] && return; sleep 0.1; done
    fail "no link $1"
}

mapfile -t commands < <(readme_commands "$source/README.md" "When something goes wrong" |
    sed -e "s|/dev/ttyUSB0|$scratch/ttyUSB0|g" -e "s|/tmp/tmx9|$scratch/tmx9|g" \
        -e "s|^\./run\.sh |$source/run.sh |")
[ ${#commands[@]} -eq 2 ] || fail "expected the trace command and the replay command"
[[ ${commands[0]} == "tmx9ctl "*--trace* ]] || fail "not a traced tmx9ctl run: ${commands[0]}"
[[ ${commands[1]} == "$source/run.sh --sim --replay "* ]] || fail "not a replay: ${commands[1]}"

start_radio "$sim" "$scratch/ttyUSB0" --firmware old --serial-number OLD007

mkdir "$scratch/work" && cd "$scratch/work"
PATH="$bin:$PATH" bash -c "${commands[0]}" >traced.txt 2>&1 || fail "${commands[0]}: $(cat traced.txt)"
TMX9_BUILD_DIR=$build bash -c "exec ${commands[1]}" >/dev/null 2>replay.log &
radios+=($!)
waitForLink "$scratch/tmx9"
"$bin/tmx9ctl" read --port "$scratch/tmx9" >replayed.txt 2>&1 || fail "reading the replay: $(cat replayed.txt)"

sed -i "s|$scratch/[a-zA-Z0-9]*||" traced.txt replayed.txt
diff traced.txt replayed.txt || fail "the replayed radio reads otherwise than the traced one"
grep -q OLD007 replayed.txt || fail "not the traced radio: $(cat replayed.txt)"
echo "README's replay of an older radio reads as the radio did"
