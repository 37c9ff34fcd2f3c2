#!/bin/sh
# orva-cli diff of two big periods that differ in 1 % of their records, against orva-cli check of
# one of them: the time ratio (target <= 3) and the peak memory (target <= 250 MB). Prints the
# figures of one run; asserts nothing.
#
#     bench/bench_diff.sh BUILD_DIR [RECORDS]     (RECORDS purchases and as many sales; 1000000)
#
# BUILD_DIR is a Release build holding orva-cli and bench_generate.
set -eu
. "$(dirname "$0")/lib.sh"
bench_setup diff "$@"

"$build/bench/bench_generate" --records "$records" "$work/old" >/dev/null
mkdir "$work/new"
cp "$work/old/deklar.txt" "$work/new/"
# Every hundredth record gets another letter in the counterparty's name (column 7, byte 88).
for name in pokupki prodagbi; do
    LC_ALL=C sed '0~100s/^\(.\{87\}\)./\1Z/' "$work/old/$name.txt" >"$work/new/$name.txt"
done
cat "$work"/old/*.txt "$work"/new/*.txt >/dev/null

set -- $(measure "$build/orva-cli" check "$work/old")
check_seconds=$1
set -- $(measure "$build/orva-cli" diff "$work/old" "$work/new")
diff_seconds=$1
diff_kb=$2
changed=$("$build/orva-cli" diff --format csv "$work/old" "$work/new" | grep -c ';променен;' || true)

awk -v n="$records" -v c="$check_seconds" -v d="$diff_seconds" -v kb="$diff_kb" -v ch="$changed" 'BEGIN {
    printf "periods: %d purchases + %d sales each, %d changed records reported\n", n, n, ch
    printf "orva-cli check of one:  %.2f s\n", c
    printf "orva-cli diff of both:  %.2f s  = %.2f x check (target <= 3)\n", d, d / c
    printf "peak memory of diff:    %.1f MB (target <= 250 MB)\n", kb / 1024
}'
