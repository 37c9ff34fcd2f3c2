#!/bin/sh
# orva-cli export (text) of a big period against iconv converting its purchases journal into a file
# in the same folder: the time ratio, and the peak memory above the process's baseline (an export of
# a tiny period); then the same for a period of as many purchases and sales, against iconv converting
# both journals. Prints the figures of one run; asserts nothing.
#
#     bench/bench_export.sh BUILD_DIR [PURCHASES]     (1000000 when not given)
#
# BUILD_DIR is a Release build holding orva-cli and bench_generate.
set -eu
build=${1:?usage: bench_export.sh BUILD_DIR [PURCHASES]}
records=${2:-1000000}
work=$(mktemp -d /tmp/orva-bench-export.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_generate" --purchases "$records" --sales 10 "$work/period" >/dev/null
"$build/bench/bench_generate" --purchases 10 --sales 10 "$work/tiny" >/dev/null
"$build/bench/bench_generate" --records "$records" "$work/both" >/dev/null
# iconv refuses MIK as CP866 (MIK's small letters from "р" on are box drawing there, which
# Windows-1251 lacks), so it runs on a CP866 twin of the journal: the same text, the same size.
tr '\260-\277' '\340-\357' <"$work/period/pokupki.txt" >"$work/pokupki.cp866"
tr '\260-\277' '\340-\357' <"$work/both/prodagbi.txt" >"$work/prodagbi.cp866"
cat "$work/period/pokupki.txt" "$work/pokupki.cp866" "$work/both"/*.txt "$work/prodagbi.cp866" >/dev/null

measure() { # command...: prints "seconds peak_kB" of the best of 3 runs
    best=""
    for run in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"
        line=$(tail -n 1 "$work/time")
        if [ -z "$best" ] || [ "$(echo "$line $best" | awk '{print ($1 < $3)}')" = 1 ]; then best=$line; fi
    done
    echo "$best"
}

set -- $(measure sh -c "iconv -f CP866 -t CP1251 '$work/pokupki.cp866' > '$work/period/iconv.txt'")
iconv_seconds=$1
set -- $(measure "$build/orva-cli" export --out "$work/out" --lines-per-page 90 "$work/period")
export_seconds=$1
export_kb=$2
set -- $(measure "$build/orva-cli" export --out "$work/tiny-out" --lines-per-page 90 "$work/tiny")
baseline_kb=$2
set -- $(measure sh -c "iconv -f CP866 -t CP1251 '$work/pokupki.cp866' > '$work/both/iconv1.txt' &&
                      iconv -f CP866 -t CP1251 '$work/prodagbi.cp866' > '$work/both/iconv2.txt'")
iconv_both_seconds=$1
rm -f "$work/both/iconv1.txt" "$work/both/iconv2.txt"
set -- $(measure "$build/orva-cli" export --out "$work/both-out" --lines-per-page 90 "$work/both")
export_both_seconds=$1
export_both_kb=$2
input=$(du -m "$work/period/pokupki.txt" | cut -f1)
output=$(du -m "$work/out/purchases.txt" | cut -f1)

awk -v n="$records" -v in_mb="$input" -v out_mb="$output" -v i="$iconv_seconds" -v e="$export_seconds" \
    -v kb="$export_kb" -v base="$baseline_kb" 'BEGIN {
    printf "period: %d purchases, %d MB in, a purchases journal of %d MB out\n", n, in_mb, out_mb
    printf "iconv into a file:        %.2f s\n", i
    printf "orva-cli export (text):   %.2f s  = %.2f x iconv (target <= 1.2)\n", e, e / i
    printf "peak memory of export:    %.1f MB, %.1f MB above the baseline of a tiny period (target <= 64)\n",
           kb / 1024, (kb - base) / 1024
}'
awk -v n="$records" -v i="$iconv_both_seconds" -v e="$export_both_seconds" -v kb="$export_both_kb" 'BEGIN {
    printf "period: %d purchases + %d sales\n", n, n
    printf "iconv of both journals into files: %.2f s\n", i
    printf "orva-cli export (text):   %.2f s  = %.2f x iconv (target <= 0.6)\n", e, e / i
    printf "peak memory of export:    %.1f MB\n", kb / 1024
}'
