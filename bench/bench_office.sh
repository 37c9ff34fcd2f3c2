#!/bin/sh
# The office's month: check over a tree of many periods in one command against a shell loop running
# `orva-cli check` once per folder, its peak memory at two tree sizes (it must not grow with the
# number of periods), and export --format xlsx of a big purchases journal against the text export,
# with the memory above a tiny export. Prints the figures of one run; asserts nothing.
#
#     bench/bench_office.sh BUILD_DIR [PERIODS] [RECORDS] [XLSX_PURCHASES]   (200 2000 1000000)
#
# BUILD_DIR is a Release build holding orva-cli and bench_generate. Each period has RECORDS purchases
# and as many sales.
set -eu
build=${1:?usage: bench_office.sh BUILD_DIR [PERIODS] [RECORDS] [XLSX_PURCHASES]}
periods=${2:-200}
records=${3:-2000}
big=${4:-1000000}
cli=$build/orva-cli
work=$(mktemp -d /tmp/orva-bench-office.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# One period made, copied to every client's folder (the same work per folder; the check reads each).
"$build/bench/bench_generate" --records "$records" "$work/one" >/dev/null
small=$((periods / 10))
[ "$small" -ge 1 ] || small=1
i=1
while [ "$i" -le "$periods" ]; do
    name=$(printf 'client%04d/2026-10' "$i")
    mkdir -p "$work/tree/$name"
    cp "$work/one"/*.txt "$work/tree/$name/"
    if [ "$i" -le "$small" ]; then
        mkdir -p "$work/small/$name"
        cp "$work/one"/*.txt "$work/small/$name/"
    fi
    i=$((i + 1))
done
cat "$work"/tree/*/*/*.txt >/dev/null # from the page cache

measure() { # command...: prints "seconds peak_kB" of the best of 3 runs
    best=""
    for run in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || true
        line=$(tail -n 1 "$work/time")
        if [ -z "$best" ] || [ "$(echo "$line $best" | awk '{print ($1 < $3)}')" = 1 ]; then best=$line; fi
    done
    echo "$best"
}

cat >"$work/loop.sh" <<EOT
for folder in "$work"/tree/*/*/; do "$cli" check "\$folder" >/dev/null || true; done
EOT
set -- $(measure sh "$work/loop.sh")
loop_seconds=$1
set -- $(measure "$cli" check --recursive --jobs 2 "$work/tree")
tree_seconds=$1
tree_kb=$2
set -- $(measure "$cli" check --recursive --jobs 2 "$work/small")
small_kb=$2

"$build/bench/bench_generate" --purchases "$big" --sales 10 "$work/big" >/dev/null
"$build/bench/bench_generate" --purchases 10 --sales 10 "$work/tiny" >/dev/null
cat "$work/big/pokupki.txt" >/dev/null
# FORMAT FOLDER: one export into a fresh folder.
cat >"$work/export.sh" <<EOT
rm -rf "$work/out"
exec "$cli" export --format "\$1" --lines-per-page 60 --out "$work/out" "\$2"
EOT
exporting() { sh "$work/export.sh" "$@"; }
set -- $(measure sh "$work/export.sh" text "$work/big")
text_seconds=$1
set -- $(measure sh "$work/export.sh" xlsx "$work/big")
xlsx_seconds=$1
xlsx_kb=$2
set -- $(measure sh "$work/export.sh" xlsx "$work/tiny")
tiny_kb=$2
exporting xlsx "$work/big" >/dev/null 2>&1
xlsx_mb=$(du -m "$work/out/purchases.xlsx" | cut -f1)

awk -v p="$periods" -v r="$records" -v s="$small" -v l="$loop_seconds" -v t="$tree_seconds" -v tk="$tree_kb" \
    -v sk="$small_kb" -v b="$big" -v ts="$text_seconds" -v xs="$xlsx_seconds" -v xk="$xlsx_kb" -v k="$tiny_kb" \
    -v mb="$xlsx_mb" 'BEGIN {
    printf "tree: %d periods of %d purchases + %d sales\n", p, r, r
    printf "shell loop of orva-cli check:       %.2f s\n", l
    printf "check --recursive --jobs 2:         %.2f s  = %.2f x the loop (target <= 0.6)\n", t, t / l
    printf "peak memory, %3d periods:           %.1f MB\n", p, tk / 1024
    printf "peak memory, %3d periods:           %.1f MB (must not grow with the periods)\n", s, sk / 1024
    printf "export of %d purchases: text %.2f s, xlsx %.2f s (%d MB)\n", b, ts, xs, mb
    printf "peak memory of the xlsx export:     %.1f MB, %.1f MB above a tiny export (target <= 64)\n", xk / 1024,
        (xk - k) / 1024
}'
