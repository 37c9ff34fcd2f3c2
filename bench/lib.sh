# Sourced by the benchmark scripts, after `set -eu`: their arguments, their working folder and the
# measuring of one command.

# bench_setup NAME "$@": build (the first argument, required) and records (the second, 1000000 unless
# given) from the script's arguments, and work: a fresh folder under /tmp, removed when the script ends.
bench_setup() {
    bench_name=$1
    shift
    build=${1:?usage: bench_$bench_name.sh BUILD_DIR [RECORDS]}
    records=${2:-1000000}
    work=$(mktemp -d "/tmp/orva-bench-$bench_name.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# measure COMMAND...: prints "seconds peak_kB" of the best of 3 runs. Exit status 5 (differences found)
# is a run like any other; any other failure ends the script.
measure() {
    best=""
    for run in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || [ $? -eq 5 ]
        line=$(tail -n 1 "$work/time")
        if [ -z "$best" ] || [ "$(echo "$line $best" | awk '{print ($1 < $3)}')" = 1 ]; then best=$line; fi
    done
    echo "$best"
}
