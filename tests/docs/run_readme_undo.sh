#!/usr/bin/env bash
# Runs the README's "Undo a write" commands as written, on this build: HOME is a scratch folder,
# a simulated radio stands in for /dev/ttyUSB0, and a tmx9ctl trace stands in for the window's
# log, which has the same layout. Each recipe must put the radio back as it was.
#   run_readme_undo.sh SOURCE_DIR TMX9CTL TMX9_SIM
set -euo pipefail
source=$(cd "$1" && pwd)
bin=$(cd "$(dirname "$2")" && pwd)
sim=$3
. "$(dirname "$0")/readme_commands.sh"
. "$(dirname "$0")/../support/radios.sh"

mapfile -t commands < <(readme_commands "$source/README.md" "When something goes wrong/Undo a write" |
    sed -e "s|/dev/ttyUSB0|$scratch/ttyUSB0|g")
[ ${#commands[@]} -eq 3 ] || fail "expected three commands, got ${#commands[@]}"
export HOME=$scratch/home PATH="$bin:$PATH"
unset XDG_DATA_HOME
mkdir -p "$HOME/.local/share/tmx9-config/logs" "$scratch/work"
cd "$scratch/work"

start_radio "$sim" "$scratch/ttyUSB0"
port=$scratch/ttyUSB0
run() { "$@" >out.txt 2>&1 || fail "$*: $(cat out.txt)"; }

run tmx9ctl read --port "$port" --json
cp out.txt before.txt
# From a backup: the write keeps what the radio held; the first command puts it back.
run tmx9ctl write --port "$port" "$source/examples/profile.json"
run tmx9ctl read --port "$port" --json
cmp -s out.txt before.txt && fail "the example profile changed nothing"
run bash -c "${commands[0]}"
run tmx9ctl read --port "$port" --json
cmp out.txt before.txt || fail "the backup did not put the radio back"

# From the log of the session that read the radio, then wrote it.
run tmx9ctl read --port "$port" --trace "$HOME/.local/share/tmx9-config/logs/20261210-120000-000-1-0001.log"
run tmx9ctl write --port "$port" --no-backup "$source/examples/profile.json"
run bash -c "${commands[1]}"
run bash -c "${commands[2]}"
run tmx9ctl read --port "$port" --json
cmp out.txt before.txt || fail "the log did not put the radio back"
echo "README's two ways to undo a write put the radio back"
