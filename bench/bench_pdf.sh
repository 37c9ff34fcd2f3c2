#!/bin/bash
# PDF export against the text-to-PDF pipeline `tr -d '\r' | a2ps | ps2pdf` on the same journal:
# time, file size and peak memory, from one run of each, side by side, as ratios.
#
#   bash bench/bench_pdf.sh BUILD_DIR [PURCHASES]      (default 16000 purchases)
#
# BUILD_DIR holds orva-cli and bench/bench_generate (a Release build). The pipeline needs a2ps,
# Ghostscript and the Cyrillic Type 1 faces, which the benchmark does not install:
#   apt-get install a2ps ghostscript t1-cyrillic
# The period has no sales, so the export's time is that of the purchases journal (and of the
# label page and the return, which are small). Both sides lay out LINES lines a page (92: what
# the PDF's A4 page at 1200 dpi holds of the 8-point face; ORVA_BENCH_LINES overrides).
set -euo pipefail

build=${1:?usage: bench_pdf.sh BUILD_DIR [PURCHASES]}
purchases=${2:-16000}
lines=${ORVA_BENCH_LINES:-92}
build=$(cd "$build" && pwd)
for tool in a2ps ps2pdf pdfinfo /usr/bin/time; do
    if ! command -v "$tool" >/dev/null; then
        echo "bench_pdf: $tool is missing (apt-get install a2ps ghostscript t1-cyrillic poppler-utils time)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
# No print server: nothing on this machine changes the layout.
export CUPS_SERVER=/nonexistent/orva-bench

"$build/bench/bench_generate" --purchases "$purchases" --sales 0 "$work/period" >/dev/null
"$build/orva-cli" export --out "$work/text" --lines-per-page "$lines" "$work/period" >/dev/null

# a2ps finds the Cyrillic faces that its ms-cp1251 encoding substitutes for Courier (t1-cyrillic's
# NimbusMonCYR and others) by their PostScript names: links under those names, found through a
# configuration file in the folder it runs in.
mkdir "$work/a2ps"
for afm in $(dpkg -L t1-cyrillic | grep '\.afm$'); do
    name=$(sed -n 's/^FontName //p' "$afm")
    ln -s "$afm" "$work/a2ps/$name.afm"
    [ -e "${afm%.afm}.pfb" ] && ln -s "${afm%.afm}.pfb" "$work/a2ps/$name.pfb"
done
printf 'AppendLibraryPath: %s\n' "$work/a2ps" >"$work/a2ps/.a2psrc"

now() { date +%s.%N; }

# orva-cli: the whole command, reading the period included.
start=$(now)
/usr/bin/time -f %M -o "$work/orva.rss" \
    "$build/orva-cli" export --format pdf --out "$work/pdf" --lines-per-page "$lines" "$work/period" >/dev/null
orva_time=$(echo "$(now) - $start" | bc)

# The pipeline, one page a sheet, portrait, no header or border, the same lines a page. The
# NimbusMonCYR face is wider than Courier (774 against 600 thousandths), so a page of LINES lines
# holds only ~103 columns: -c cuts the longer lines (wrapping them would double the pages). The
# pipeline thus sets less text than the export.
a2ps_options=(--encoding=ms-cp1251 -1 -R -B --borders=no -M A4 -L "$lines" -c -q)
start=$(now)
(cd "$work/a2ps" && /usr/bin/time -f %M -o "$work/pipeline.rss" bash -c \
    'tr -d "\r" <"$1" | a2ps "${@:3}" -o - | ps2pdf - "$2"' _ "$work/text/purchases.txt" "$work/pipeline.pdf" \
    "${a2ps_options[@]}")
pipeline_time=$(echo "$(now) - $start" | bc)

pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }
orva_size=$(stat -c %s "$work/pdf/purchases.pdf")
pipeline_size=$(stat -c %s "$work/pipeline.pdf")
printf 'period: %s purchases, %s lines a page\n' "$purchases" "$lines"
printf 'orva-cli export --format pdf:  %6.2f s  purchases.pdf %9d bytes  %4d pages  peak RSS %4d MB\n' \
    "$orva_time" "$orva_size" "$(pages "$work/pdf/purchases.pdf")" $(($(cat "$work/orva.rss") / 1024))
printf 'tr | a2ps | ps2pdf:            %6.2f s  purchases.pdf %9d bytes  %4d pages  peak RSS %4d MB (one process)\n' \
    "$pipeline_time" "$pipeline_size" "$(pages "$work/pipeline.pdf")" $(($(cat "$work/pipeline.rss") / 1024))
printf '  a2ps %s\n' "${a2ps_options[*]}"
printf 'orva-cli is %.1fx faster; its file is %.2fx the size of the pipeline'"'"'s\n' \
    "$(echo "$pipeline_time / $orva_time" | bc -l)" "$(echo "$orva_size / $pipeline_size" | bc -l)"
