# Shared by the shell tests: a scratch folder, simulated radios started into it, and both gone
# when the script ends, however it ends.
#   . radios.sh; start_radio TMX9_SIM PATH [OPTIONS...]
scratch=$(mktemp -d)
radios=()
cleanup() {
    for pid in "${radios[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# start_radio TMX9_SIM PATH [OPTIONS...]: a simulated radio with its port linked at PATH.
start_radio() {
    local sim=$1 link=$2
    shift 2
    "$sim" --quiet --link "$link" "$@" >/dev/null 2>&1 &
    radios+=($!)
    for _ in $(seq 300); do [ -L "$link" ] && return; sleep 0.05; done
    fail "the simulated radio at $link did not start"
}
