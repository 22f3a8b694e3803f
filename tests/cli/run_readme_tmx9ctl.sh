#!/usr/bin/env bash
# Runs the shell commands of tmx9ctl's manual (docs/tmx9ctl.md) as written, with two simulated
# radios standing in for /dev/ttyUSB0 and /dev/ttyUSB1 (no port of this machine is touched), and
# checks that its exit status table and its reference are what tmx9ctl --help prints, the text the
# man page is made from.
#   run_readme_tmx9ctl.sh SOURCE_DIR TMX9CTL TMX9_SIM
set -euo pipefail
source=$(cd "$1" && pwd)
bin=$(cd "$(dirname "$2")" && pwd)
sim=$3
. "$(dirname "$0")/../support/radios.sh"
# Backups of what the manual's writes overwrite go here, never into the user's folder.
export XDG_DATA_HOME=$scratch/data

# "commands": the manual's shell blocks, comments cut; "statuses": its table rows "| N |";
# "reference": the text block of its Reference section.
section() {
    awk -v what="$1" '
        /^## / { reference = ($0 == "## Reference") }
        what == "reference" && reference && /^```text$/ { inblock = 1; next }
        what == "reference" && inblock && /^```$/ { inblock = 0; next }
        what == "reference" { if (inblock) print; next }
        /^```sh$/ { inblock = 1; next }
        /^```/ { inblock = 0; next }
        what == "commands" && inblock { sub(/[ \t]+#[ \t].*$/, ""); if ($0 != "") print }
        what == "statuses" && !inblock && /^\| [0-9] \|/ { print }
    ' "$source/docs/tmx9ctl.md"
}

for n in 0 1; do
    start_radio "$sim" "$scratch/ttyUSB$n"
done

mkdir "$scratch/work" && ln -s "$source/examples" "$scratch/work/examples" && cd "$scratch/work"
mapfile -t commands < <(section commands)
[ ${#commands[@]} -ge 1 ] || fail "no commands in docs/tmx9ctl.md"
for command in "${commands[@]}"; do
    [[ $command == "tmx9ctl "* ]] || fail "not a tmx9ctl command: $command"
    here=$(sed "s|/dev/ttyUSB\([01]\)\b|$scratch/ttyUSB\1|g" <<<"$command")
    [[ $here != */dev/* ]] || fail "would open a port of this machine: $command"
    # Without --port, detect would try every port of the machine.
    [[ $here != *" detect"* || $here == *--port* ]] || fail "would try the machine's ports: $command"
    PATH="$bin:$PATH" bash -c "$here" >out 2>&1 || fail "$command: $(cat out)"
done
grep -qE '^-> +[0-9]+\.[0-9]{3} ms  .*  read request$' trace.txt || fail "trace.txt: no read-back"

help=$("$bin/tmx9ctl" --help | sed -n 's/^  \([0-9]\)  \(.*\)$/| \1 | \2 |/p')
[ -n "$help" ] && [ "$(section statuses)" = "$help" ] ||
    fail "the manual's exit statuses are not those of tmx9ctl --help: $help"
diff <(section reference) <("$bin/tmx9ctl" --help) >&2 ||
    fail "the manual's reference is not tmx9ctl --help (the diff above: < manual, > --help)"
echo "${#commands[@]} commands of tmx9ctl's manual ran; its exit statuses and reference agree with --help"
