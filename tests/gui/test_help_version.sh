#!/usr/bin/env bash
# orva --help and --version answer without a window system and write nothing: the program is
# copied to a folder of its own, run with no display, and that folder must hold only it after.
#   bash tests/gui/test_help_version.sh ORVA
set -euo pipefail
orva=${1:?usage: test_help_version.sh ORVA}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$orva" "$work/orva"
run() { (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME="$work" ./orva "$@"); }
failures=0
check() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

help=$(run --help) || check "--help ended with status $?"
grep -q '^Usage: orva \[DATAFOLDER\]' <<<"$help" || check "--help prints no usage line: $help"
version=$(run --version) || check "--version ended with status $?"
[ "$version" = "orva ${ORVA_EXPECTED_VERSION:?}" ] || check "--version prints \"$version\""
# Text that cannot reach standard output (a full disk) is status 1 and a line on standard error.
for option in --help --version; do
    said=$(run "$option" 2>&1 >/dev/full) && check "$option to a full disk ended with 0"
    grep -q '^orva: не може да се запише стандартният изход' <<<"$said" || check "$option to a full disk said: $said"
done
# Only the first argument asks: a data folder named --help is given as ./--help, and a later
# --help is an ignored further argument (the run then needs a display and fails without one).
if run /nonexistent --help >/dev/null 2>&1; then check "orva FOLDER --help ended with 0 without a display"; fi
left=$(cd "$work" && ls -A | grep -vx orva || true)
[ -z "$left" ] || check "--help/--version wrote: $left"
[ "$failures" -eq 0 ] && echo "PASS: orva --help and --version"
exit $((failures > 0))
