#!/bin/sh
# orva-cli on generated periods, each figure against a standard tool measured in the same run:
# export (text) and check against iconv, PDF export against a2ps | ps2pdf. Asserts nothing.
#
#     bench/bench_cli.sh BUILD_DIR [RECORDS] [PDF_PURCHASES]     (1000000 and 16000 when not given)
#
# The PDF part needs a2ps, ghostscript and t1-cyrillic (apt-get install); without a2ps it is left out.
set -eu
here=$(dirname "$0")
build=${1:?usage: bench_cli.sh BUILD_DIR [RECORDS] [PDF_PURCHASES]}
records=${2:-1000000}
pdf_purchases=${3:-16000}
echo "== export (text)"
sh "$here/bench_export.sh" "$build" "$records"
echo "== check"
sh "$here/bench_check.sh" "$build" "$records"
echo "== export (PDF)"
if command -v a2ps >/dev/null 2>&1; then
    bash "$here/bench_pdf.sh" "$build" "$pdf_purchases"
else
    echo "a2ps is not installed: apt-get install a2ps ghostscript t1-cyrillic"
fi
