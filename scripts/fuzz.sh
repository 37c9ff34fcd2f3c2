#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (core only) and runs each from its seed corpus in
# fuzz/corpus/<target> for a while; exits non-zero when a target crashes or breaks an output
# property. The inputs the fuzzer keeps go to a scratch folder, never into the committed seeds.
#
#   bash scripts/fuzz.sh [SECONDS]      (default 10 per target)
#
# Environment: ORVA_FUZZ_BUILD (build folder, default build-fuzz), ORVA_FUZZ_TARGETS (names
# without the fuzz_ prefix, default all), ORVA_FUZZ_ARTIFACTS (where crashing inputs are kept,
# default BUILD/artifacts), ORVA_JOBS.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SECONDS_PER_TARGET=${1:-10}
BUILD=$(realpath -m "${ORVA_FUZZ_BUILD:-$ORVA_SOURCE_DIR/build-fuzz}")
ARTIFACTS=$(realpath -m "${ORVA_FUZZ_ARTIFACTS:-$BUILD/artifacts}")
# Every fuzz/fuzz_<name>.cpp is a target.
all_targets=$(cd "$ORVA_SOURCE_DIR/fuzz" && for file in fuzz_*.cpp; do name=${file#fuzz_}; echo "${name%.cpp}"; done)
TARGETS=${ORVA_FUZZ_TARGETS:-$all_targets}

orva_log "configuring $BUILD (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S "$ORVA_SOURCE_DIR" -B "$BUILD" -DORVA_WERROR=ON -DORVA_FUZZ=ON -DORVA_CORE_ONLY=ON \
    -DORVA_BENCH=OFF >/dev/null
build_targets=()
for name in $TARGETS; do
    build_targets+=(--target "fuzz_$name")
done
orva_log "building the fuzz targets"
cmake --build "$BUILD" -j "$(orva_jobs)" "${build_targets[@]}"

mkdir -p "$ARTIFACTS"
status=0
for name in $TARGETS; do
    work=$(mktemp -d)
    orva_log "fuzz_$name: ${SECONDS_PER_TARGET} s from fuzz/corpus/fuzz_$name"
    if ! "$BUILD/fuzz/fuzz_$name" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=1 \
        -artifact_prefix="$ARTIFACTS/fuzz_$name-" "$work" "$ORVA_SOURCE_DIR/fuzz/corpus/fuzz_$name" \
        >"$BUILD/fuzz_$name.log" 2>&1; then
        tail -n 40 "$BUILD/fuzz_$name.log" >&2
        orva_log "fuzz_$name FAILED (input kept in $ARTIFACTS)"
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$BUILD/fuzz_$name.log" >&2 || true
    fi
    rm -rf "$work"
done
exit "$status"
