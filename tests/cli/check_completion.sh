#!/usr/bin/env bash
# tmx9ctl's bash completion, loaded as bash-completion loads it and asked as bash asks at a TAB:
# COMP_WORDS and COMP_CWORD set, the function that `complete` registered called, COMPREPLY read.
#   check_completion.sh COMPLETION_SCRIPT
set -uo pipefail
script=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

# shellcheck source=/dev/null
source "$script"
registered=$(complete -p tmx9ctl) || { echo "FAIL: no completion registered for tmx9ctl"; exit 1; }
function=$(sed -n 's/.*-F \([^ ]*\) .*/\1/p' <<<"$registered")

# completes LINE EXPECTED...: the words bash would offer after LINE, in any order.
completes() {
    local line=$1
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    "$function" tmx9ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    if [ "$got" == "$expected" ]; then
        echo "ok: '$line' -> $got"
    else
        echo "FAIL: '$line' -> '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

touch "$scratch/profile.json"
ln -s /dev/null "$scratch/radio"
completes "tmx9ctl wr" write
completes "tmx9ctl d" default detect
completes "tmx9ctl write --po" --port
completes "tmx9ctl default --no" --no-verify --no-backup
completes "tmx9ctl read --" --port --baud --json --out --from-trace --trace
completes "tmx9ctl read --baud 19" 19200
completes "tmx9ctl --trace t.txt ch" check
completes "tmx9ctl write --port $scratch/ra" "$scratch/radio"
completes "tmx9ctl write --port $scratch/radio $scratch/pro" "$scratch/profile.json"
completes "tmx9ctl read --from-trace $scratch/pro" "$scratch/profile.json"
completes "tmx9ctl ports --" --trace
completes "tmx9ctl read --port $scratch/radio $scratch/pro" ""
[ $failures -eq 0 ] || exit 1
