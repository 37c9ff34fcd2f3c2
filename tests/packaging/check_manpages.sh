#!/usr/bin/env bash
# The manual pages render without a warning, and every long option that `orva-cli --help` and
# `orva-cli COMMAND --help` print is described in orva-cli.1, so the page cannot fall behind the
# program.
#   bash tests/packaging/check_manpages.sh ORVA_CLI [PAGE_FOLDER]
# PAGE_FOLDER holds orva.1 and orva-cli.1 (or .1.gz, as installed); default the source tree's man/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=${1:?usage: check_manpages.sh ORVA_CLI [PAGE_FOLDER]}
pages=${2:-$here/../../man}
command -v man >/dev/null 2>&1 || { echo "SKIP: man is not installed (man-db)" >&2; exit 77; }
export LC_ALL=C.UTF-8

page() {
    local name=$1
    if [ -f "$pages/$name" ]; then
        echo "$pages/$name"
    elif [ -f "$pages/$name.gz" ]; then
        echo "$pages/$name.gz"
    else
        echo "FAIL: neither $pages/$name nor $pages/$name.gz exists" >&2
        exit 1
    fi
}

failures=0
for name in orva.1 orva-cli.1; do
    file=$(page "$name")
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null || echo "man -l failed with status $?")
    if [ -n "$warnings" ]; then
        printf 'FAIL: %s renders with warnings:\n%s\n' "$file" "$warnings" >&2
        failures=$((failures + 1))
    fi
done

# The overview names the commands in its synopsis; each command's own help lists its options.
help=$("$cli" --help) || { echo "FAIL: $cli --help failed" >&2; exit 1; }
commands=$(sed -nE 's/^  orva-cli ([a-z]+) .*/\1/p' <<<"$help" | sort -u)
[ -n "$commands" ] || { echo "FAIL: $cli --help names no command" >&2; exit 1; }
for command in $commands; do
    help+=$'\n'$("$cli" "$command" --help) || { echo "FAIL: $cli $command --help failed" >&2; exit 1; }
done
options=$(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u)
[ -n "$options" ] || { echo "FAIL: $cli --help prints no long option" >&2; exit 1; }

# The page's source with roff's escapes taken off: \- is a dash, \fB..\fR change the font, \% and
# \& are invisible.
text=$(gzip -dcf "$(page orva-cli.1)" | sed -E 's/\\-/-/g; s/\\f(\[[^]]*\]|\(..|.)//g; s/\\[%&]//g')
missing=()
for option in $options; do
    grep -qE -- "(^|[^a-z0-9-])$option([^a-z0-9-]|\$)" <<<"$text" || missing+=("$option")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "FAIL: orva-cli.1 lacks options that --help prints: ${missing[*]}" >&2
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || exit 1
echo "PASS: both pages render without warnings; orva-cli.1 has all $(wc -w <<<"$options") long options of the $(wc -w <<<"$commands") commands' --help"
