#!/usr/bin/env bash
# Drives the orva-cli completion function as bash would on TAB and compares what it offers.
#   bash tests/packaging/check_completion.sh [COMPLETION_FILE]
# The default is the file in the source tree; the package test passes the installed one.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
completion=${1:-$here/../../resources/orva-cli.bash-completion}
[ -r "$completion" ] || { echo "FAIL: cannot read $completion" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/periods/2026-10" "$work/periods/2026-11" "$work/bin"
touch "$work/periods/notes.txt"
# A stand-in lpstat, so the queue names do not depend on the machine's print server.
printf '#!/bin/sh\n[ "$1" = -e ] && printf "office\\nORVA_PDF\\noffice-2\\n"\n' >"$work/bin/lpstat"
chmod +x "$work/bin/lpstat"

# Each case: the words of the command line ("|" between words, the last one being completed),
# then what must be offered, sorted and joined by blanks.
cases=(
    "orva-cli|ex                         => export"
    "orva-cli|pr                         => print printers"
    "orva-cli|                           => --help --version check diff export print printers reconcile"
    "orva-cli|reconcile|--format|        => csv json text xlsx"
    "orva-cli|reconcile|--ce             => "
    "orva-cli|export|--fo                => --force --format"
    "orva-cli|export|--format|           => csv pdf text xlsx"
    "orva-cli|check|--format|            => csv json text xlsx"
    "orva-cli|check|--format|=|j         => json"
    "orva-cli|print|--document|p         => purchases"
    "orva-cli|print|--document|          => label memo purchases reconciliation return sales vies"
    "orva-cli|print|--o                  => --older"
    "orva-cli|export|--re                => --recursive --report --represent --return-layout"
    "orva-cli|diff|--j                   => --jobs"
    "orva-cli|export|--encoding|w        => windows-1251"
    "orva-cli|check|--return-layout|c    => classic current"
    "orva-cli|print|--captions|          => auto classic today"
    "orva-cli|export|--c                 => --captions --cell"
    "orva-cli|check|--st                 => --strict"
    "orva-cli|diff|--r                   => --recursive --return-layout"
    "orva-cli|diff|--format|             => csv json text xlsx"
    "orva-cli|check|--ad                 => "
    "orva-cli|print|--pr                 => --printer"
    "orva-cli|print|-P|off               => office office-2"
    "orva-cli|print|--printer|O          => ORVA_PDF"
    "orva-cli|export|--cell|8            => 80= 81= 82="
    "orva-cli|export|--address|          => "
    "orva-cli|export|--out|$work/periods/ => $work/periods/2026-10 $work/periods/2026-11"
    "orva-cli|check|$work/periods/2026-1 => $work/periods/2026-10 $work/periods/2026-11"
    "orva-cli|export|--|$work/periods/20 => $work/periods/2026-10 $work/periods/2026-11"
)

failures=0
for case in "${cases[@]}"; do
    line=${case%%=>*}
    line=${line%"${line##*[![:space:]]}"}
    want=${case#*=> }
    want=${want%"${want##*[![:space:]]}"}
    [ "${case#*=>}" = "" ] && want=""
    have=$(PATH="$work/bin:$PATH" bash --norc --noprofile -c '
        source "$1"
        IFS="|" read -r -a COMP_WORDS <<<"$2"
        [[ $2 == *"|" ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _orva_cli
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd " " -
    ' check "$completion" "$line")
    if [ "$have" != "$want" ]; then
        echo "FAIL: '${line//|/ }<TAB>' offers '$have', expected '$want'" >&2
        failures=$((failures + 1))
    fi
done

registered=$(bash --norc --noprofile -c 'source "$1"; complete -p orva-cli' check "$completion")
[ "$registered" = "complete -F _orva_cli orva-cli" ] || {
    echo "FAIL: the completion is registered as '$registered'" >&2
    failures=$((failures + 1))
}

if [ "$failures" -gt 0 ]; then
    echo "$failures of $((${#cases[@]} + 1)) completion checks failed" >&2
    exit 1
fi
echo "PASS: ${#cases[@]} completions and the registration"
