#!/usr/bin/env bash
# Everything orva-cli makes of the sample periods and every regression case's period, into one folder,
# so that two builds can be compared with `diff -r` before and after a change that must not change
# any document, message or finding: each period exported as text and as PDF (the PDF's text via
# pdftotext, its bytes vary with the time) and checked as text, CSV and JSON, with each command's
# exit status and standard error.
#
#   bash scripts/snapshot-outputs.sh ORVA_CLI OUTFOLDER
set -uo pipefail
cli=$(realpath "$1")
out=$(realpath -m "$2")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LC_ALL=C.UTF-8 TZ=UTC QT_QPA_PLATFORM=offscreen
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

periods=("$source_dir"/samples/2026-*)
for case in "$source_dir"/tests/regress/*/; do
    [ -e "$case/deklar.txt" ] || [ -e "$case/DEKLAR.TXT" ] || continue
    periods+=("${case%/}")
done
for period in "${periods[@]}"; do
    name=$(basename "$(dirname "$period")")-$(basename "$period")
    dest=$out/$name
    mkdir -p "$dest"
    # Paths are written as @DATA@ and @OUT@, so the snapshot does not depend on where it was made.
    tidy() { sed -e "s|$period|@DATA@|g" -e "s|$work|@OUT@|g"; }
    for format in text pdf; do
        rm -rf "$work/export"
        "$cli" export --format "$format" --out "$work/export" "$period" >"$dest/export-$format.stdout" \
            2>"$dest/export-$format.stderr"
        echo $? >"$dest/export-$format.status"
        if [ -d "$work/export" ]; then
            for file in "$work/export"/*; do
                case $file in
                *.pdf) pdftotext -layout "$file" "$dest/export-$format-$(basename "$file").txt" 2>/dev/null ;;
                *) cp "$file" "$dest/export-$format-$(basename "$file")" ;;
                esac
            done
        fi
        for stream in stdout stderr; do
            tidy <"$dest/export-$format.$stream" >"$dest/export-$format.$stream.tidy"
            mv "$dest/export-$format.$stream.tidy" "$dest/export-$format.$stream"
        done
    done
    for format in text csv json; do
        "$cli" check --format "$format" "$period" >"$dest/check-$format.stdout" 2>"$dest/check-$format.stderr"
        echo $? >"$dest/check-$format.status"
        for stream in stdout stderr; do
            tidy <"$dest/check-$format.$stream" >"$dest/check-$format.$stream.tidy"
            mv "$dest/check-$format.$stream.tidy" "$dest/check-$format.$stream"
        done
    done
done
echo "snapshot of ${#periods[@]} periods in $out"
