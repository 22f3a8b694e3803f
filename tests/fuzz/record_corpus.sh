#!/usr/bin/env bash
# Writes the seed corpora of fuzz_trace, fuzz_statefile and fuzz_profile from real runs of this
# build's tmx9ctl and tmx9-sim, and from the window's logs that its tests left in the build tree
# (run tst_read first). fuzz_receiver's corpus comes from make_corpus.py.
#   record_corpus.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
ctl=$build/cli/tmx9ctl
sim=$build/sim/tmx9-sim
. "$here/../support/radios.sh"

# radio NAME OPTIONS...: a simulated radio at $scratch/NAME.
radio() {
    local name=$1
    shift
    "$sim" --link "$scratch/$name" "$@" >/dev/null 2>&1 &
    radios+=($!)
    for _ in $(seq 100); do [ -L "$scratch/$name" ] && return; sleep 0.05; done
    echo "no radio $name" >&2
    exit 1
}

trace=$here/corpus/trace
state=$here/corpus/statefile
profile=$here/corpus/profile
mkdir -p "$trace" "$state" "$profile"
cd "$scratch"

radio new --quiet --serial-number NEW001
radio old --quiet --firmware old --serial-number OLD007
radio fsk --quiet --channel-table-first --state <(echo '{"settings": {"modulation": "FSK", "airBaud": "19200"}}')
radio cut --quiet --crlf-in-body --stray 55AA
radio slow --fragment 16 --fragment-gap 2 --log "$trace/sim_log_fragments.txt"

"$ctl" read --port "$scratch/new" --trace "$trace/ctl_read.txt" >/dev/null
"$ctl" read --port "$scratch/new" --port "$scratch/old" --port "$scratch/fsk" --trace "$trace/ctl_read_three_ports.txt" >/dev/null
"$ctl" read --port "$scratch/cut" --trace "$trace/ctl_read_cut_responses.txt" >/dev/null 2>&1 || true
"$ctl" read --port "$scratch/slow" --out "$profile/read_out.json" >/dev/null
"$ctl" read --port "$scratch/fsk" --out "$profile/read_fsk.json" >/dev/null
"$ctl" write --port "$scratch/new" --trace "$trace/ctl_write.txt" "$here/../../examples/profile.json" >/dev/null
"$ctl" detect --port "$scratch/old" --port "$scratch/fsk" --trace "$trace/ctl_detect.txt" >/dev/null
sed -i -e "s|$scratch/||g" -e "s|$trace/||g" "$trace"/*.txt

# The window's own logs: the smallest that hold a read, and one of several sessions' worth.
logs=$build/tests/logs
if compgen -G "$logs/*.log" >/dev/null; then
    small=$(grep -l "channel table response" "$logs"/*.log | xargs ls -S | tail -n 1)
    cp "$small" "$trace/window_read.log"
    larger=$(find "$logs" -name '*.log' -size -8k | xargs ls -S | head -n 1)
    cp "$larger" "$trace/window_session.log"
fi

# State files as tmx9-sim saves them, and as a person writes them.
"$sim" --quiet --replay "$trace/ctl_read.txt" --save-state "$state/saved_replay.json" >/dev/null &
radios+=($!)
"$sim" --quiet --firmware old --save-state "$state/saved_old.json" >/dev/null &
radios+=($!)
sleep 0.5
printf '%s\n' '{"settings": {"modulation": "FSK", "airBaud": "19200", "channel": "5"}}' >"$state/settings.json"
printf '%s\n' '{"firmware": "old", "serialNumber": "OLD007", "firmwareVersion": "V1.0",' \
    ' "settings": {"power": "L", "frequencies": ["454.0500", "200", "500.0000"]}}' >"$state/keys.json"
records=$(printf '4540500%.0s' $(seq 20))
printf '{"channelRecords": "%s"}\n' "$records" >"$state/earlier_records.json"

cp "$here/../../examples/profile.json" "$profile/example.json"
printf '%s\n' '{"power": "H", "power": ["L"], "frequencies": [], "frequencies": ["454"]}' >"$profile/duplicates.json"
