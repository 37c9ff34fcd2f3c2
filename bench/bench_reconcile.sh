#!/bin/sh
# orva-cli reconcile on a big period against a report as long, beside orva-cli check of the same
# period: the time ratio (target <= 2) and the peak memory (target <= 200 MB). Half the report's lines
# pair with a purchase, a tenth of those with another VAT amount; the other half are missing from the
# journal. The report lies outside the period folder; last, check runs with it inside the folder, where
# its rule 22 compares it. Prints the figures of one run; asserts nothing.
#
#     bench/bench_reconcile.sh BUILD_DIR [RECORDS]     (RECORDS purchases, as many report lines; 1000000)
#
# BUILD_DIR is a Release build holding orva-cli and bench_generate.
set -eu
. "$(dirname "$0")/lib.sh"
bench_setup reconcile "$@"

"$build/bench/bench_generate" --purchases "$records" --sales 10 "$work/period" >/dev/null
vat=$(head -c 15 "$work/period/deklar.txt" | tr -d ' ')
period=$(head -c 71 "$work/period/deklar.txt" | tail -c 6)
{
    printf 'Справка за декларираните продажби към ФИРМА, %s от регистрираните по ЗДДС лица за данъчен период %s;\r\n' \
        "${vat#BG}" "$period"
    printf 'Идентификационен номер на контрагента;Име на контрагента;Данъчен период;Вид на документа;Номер на документа;'
    printf 'Дата на документа;Вид на стоката;Общ размер на данъчните основи;Всичко начислен ДДС;'
    printf 'ДО 20 %%;ДДС 20 %%;ДО 9 %%;ДДС 9 %%;ДО 0 %%;ДО освободени;Доставка по чл. 163а;\r\n'
} | iconv -f UTF-8 -t CP1251 >"$work/report.csv"
awk -v n="$records" 'function trim(s) { gsub(/^ +| +$/, "", s); return s }
{
    i++
    number = trim(substr($0, 43, 20)); date = substr($0, 63, 10); gsub(/[.\/]/, "-", date)
    supplier = trim(substr($0, 73, 15))
    c9 = trim(substr($0, 168, 15)) + 0; c10 = trim(substr($0, 183, 15)) + 0; c11 = trim(substr($0, 198, 15)) + 0
    c12 = trim(substr($0, 213, 15)) + 0; c13 = trim(substr($0, 228, 15)) + 0
    base = c9 != 0 ? c9 : c10 + c12; vat = c9 != 0 ? 0 : c11 + c13
    if (i % 2 == 0) { supplier = "BG999000" i % 1000; number = "X" i }   # a document missing from the journal
    else if (i % 20 == 1) vat += 0.01                                   # a tenth of the pairs differ
    printf "%s;ДОСТАВЧИК;%s;%d;%s;%s;стока;\" %.2f\";\" %.2f\";\" %.2f\";\" %.2f\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\"\r\n",
        supplier, substr($0, 16, 6), substr($0, 41, 2) + 0, number, date, base, vat, base, vat
}' "$work/period/pokupki.txt" | iconv -f UTF-8 -t CP1251 >>"$work/report.csv"
cat "$work/period/"* "$work/report.csv" >/dev/null

set -- $(measure "$build/orva-cli" check "$work/period")
check_seconds=$1
set -- $(measure "$build/orva-cli" reconcile --format csv "$work/period" "$work/report.csv")
reconcile_seconds=$1
reconcile_kb=$2
"$build/orva-cli" reconcile --format csv "$work/period" "$work/report.csv" 2>/dev/null | tail -n 1 >"$work/totals" || true
# The printable document (the text output), whose classes come one after another.
set -- $(measure "$build/orva-cli" reconcile --lines-per-page 60 "$work/period" "$work/report.csv")
document_seconds=$1
document_kb=$2
# The same report in the folder: check compares it too (rule 22), in its one read of the journal.
ln "$work/report.csv" "$work/period/report.csv"
set -- $(measure "$build/orva-cli" check "$work/period")
with_report_seconds=$1
with_report_kb=$2

awk -v n="$records" -v c="$check_seconds" -v r="$reconcile_seconds" -v kb="$reconcile_kb" \
    -v w="$with_report_seconds" -v wkb="$with_report_kb" -v d="$document_seconds" -v dkb="$document_kb" 'BEGIN {
    printf "period: %d purchases against a report of %d lines\n", n, n
    printf "orva-cli check:      %.2f s\n", c
    printf "orva-cli reconcile:  %.2f s = %.2f x check (target <= 2.0)\n", r, r / c
    printf "peak memory of reconcile: %.1f MB (target <= 200 MB)\n", kb / 1024
    printf "the printable document (text output): %.2f s, peak %.1f MB\n", d, dkb / 1024
    printf "orva-cli check with the report in the folder: %.2f s, peak %.1f MB\n", w, wkb / 1024
}'
sed 's/^/totals row: /' "$work/totals"
