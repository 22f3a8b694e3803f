#!/usr/bin/env bash
# Holds an unpacked Windows package folder against deploy.txt and against what its programs and
# DLLs import (read with objdump, transitively):
#  - the folder holds the two programs, README.txt, the licences and exactly the files deploy.txt
#    lists;
#  - every DLL that is imported and is not part of Windows is in the folder, beside the programs;
#  - every DLL beside the programs is imported by something (the plugins load by name);
#  - every function imported from a DLL in the folder is exported by that copy: a program built
#    by a newer MinGW gcc than the Qt DLLs may need a newer libstdc++-6.dll than the one shipped,
#    and Windows then refuses to start it ("entry point not found").
# Usage: check-deploy.sh FOLDER   Exits 1 with one line a fault.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: check-deploy.sh FOLDER}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

# DLLs every Windows 7 and later has; an import outside this list must ship with the programs.
system_dlls=(advapi32.dll d3d11.dll dwmapi.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll
    netapi32.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll user32.dll userenv.dll uxtheme.dll
    version.dll winmm.dll wtsapi32.dll ws2_32.dll)
system=" ${system_dlls[*]} "

faults=0
fault() { echo "check-deploy: $*" >&2; faults=$((faults + 1)); }
lower() { tr '[:upper:]' '[:lower:]'; }

expected=$( (printf '%s\n' tmx9-config.exe tmx9ctl.exe README.txt LICENSE.txt
    (cd "$here" && ls licenses/*)
    grep -v '^#' "$here/deploy.txt" | sed '/^$/d') | sort)
actual=$(cd "$dir" && find . -type f | sed 's|^\./||' | sort)
while read -r f; do fault "missing: $f"; done < <(comm -23 <(echo "$expected") <(echo "$actual"))
while read -r f; do fault "not in deploy.txt: $f"; done < <(comm -13 <(echo "$expected") <(echo "$actual"))

# imports FILE DLL: the names FILE imports from DLL, one a line (binutils 2.40 prints
# "vma hint name", later ones "vma ordinal hint name": the name is last either way).
imports() {
    "$objdump" -p "$1" | awk -v dll="$2" '
        /^[[:space:]]*DLL Name: / { inside = tolower($NF) == tolower(dll); next }
        inside && /^[[:space:]]*$/ { inside = 0 }
        inside && !/vma:/ && $NF !~ /^[0-9]+$/ && $NF != "<none>" { print $NF }' | sort -u
}
# exports FILE: the names FILE exports, one a line.
exports() {
    "$objdump" -p "$1" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
        inside && /^[[:space:]]*$/ { inside = 0 }
        inside && /\[/ { print $NF }' | sort -u
}
declare -A exported=()

# Walk the imports from the programs and the plugins.
declare -A seen=() imported=()
queue=()
while read -r f; do queue+=("$f"); done < <(cd "$dir" && find . -name '*.exe' -o -path './*/*.dll' |
    sed 's|^\./||')
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    [ -n "${seen[$file]:-}" ] && continue
    seen[$file]=1
    while read -r dll; do
        [ -z "$dll" ] && continue
        key=$(echo "$dll" | lower)
        [[ "$system" == *" $key "* ]] && continue
        imported[$key]=1
        # Windows looks beside the program first; names are case-insensitive.
        found=$(cd "$dir" && find . -maxdepth 1 -iname "$dll" | sed 's|^\./||' | head -n1)
        if [ -z "$found" ]; then
            fault "$file imports $dll, which is neither in the folder nor part of Windows"
        else
            queue+=("$found")
            [ -n "${exported[$found]:-}" ] || exported[$found]=$(exports "$dir/$found")
            missing=$(comm -23 <(imports "$dir/$file" "$dll") <(echo "${exported[$found]}"))
            [ -z "$missing" ] || fault "$file imports from $found what it does not export:" \
                "$(echo "$missing" | head -n 3 | tr '\n' ' ')($(echo "$missing" | wc -l) in all)"
        fi
    done < <("$objdump" -p "$dir/$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done

while read -r f; do
    [ -n "${imported[$(echo "$f" | lower)]:-}" ] || fault "$f is shipped but nothing imports it"
done < <(cd "$dir" && find . -maxdepth 1 -iname '*.dll' | sed 's|^\./||')

[ "$faults" -eq 0 ] || exit 1
echo "check-deploy: $(echo "$actual" | wc -l) files, every import accounted for, every imported function exported"
