#!/bin/sh
# orva-cli check on a big period against iconv over its two journals: the time ratio and the peak
# memory against 64 MB + 32 B a record. Prints the figures of one run; asserts nothing.
#
#     bench/bench_check.sh BUILD_DIR [RECORDS]     (RECORDS purchases and as many sales; 1000000)
#
# BUILD_DIR is a Release build holding orva-cli and bench_generate.
set -eu
. "$(dirname "$0")/lib.sh"
bench_setup check "$@"

"$build/bench/bench_generate" --records "$records" "$work/period" >/dev/null
# iconv refuses MIK as CP866 (MIK's small letters from "р" on are box drawing there, which
# Windows-1251 lacks), so it runs on CP866 twins of the journals: the same text, the same size.
for name in pokupki prodagbi; do
    tr '\260-\277' '\340-\357' <"$work/period/$name.txt" >"$work/$name.cp866"
done
# Once over the files first, so that both runs read them from the page cache.
cat "$work/period/pokupki.txt" "$work/period/prodagbi.txt" "$work"/*.cp866 >/dev/null

set -- $(measure iconv -f CP866 -t CP1251 "$work/pokupki.cp866" "$work/prodagbi.cp866")
iconv_seconds=$1
set -- $(measure "$build/orva-cli" check "$work/period")
check_seconds=$1
check_kb=$2
findings=$("$build/orva-cli" check --format csv "$work/period" | tail -n +2 | grep -vc ';return-table;' || true)
size=$(du -cm "$work/period/pokupki.txt" "$work/period/prodagbi.txt" | tail -1 | cut -f1)

awk -v n="$records" -v mb="$size" -v i="$iconv_seconds" -v c="$check_seconds" -v kb="$check_kb" -v f="$findings" 'BEGIN {
    limit = 64 * 1024 + 32 * 2 * n / 1024
    printf "period: %d purchases + %d sales, %d MB of journals, %d findings\n", n, n, mb, f
    printf "iconv over both journals: %.2f s\n", i
    printf "orva-cli check:           %.2f s  = %.2f x iconv (target <= 1.0)\n", c, c / i
    printf "peak memory of check:     %.1f MB = %.2f of 64 MB + 32 B/record (%.1f MB)\n", kb / 1024, kb / limit, limit / 1024
}'
