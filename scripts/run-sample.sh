#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds orva alone (no tests, no benchmarks) and opens it on
# the sample tax period of today's generation.
# Needs a graphical session (DISPLAY or WAYLAND_DISPLAY).
#
#   bash scripts/run-sample.sh [DATAFOLDER]
#
# Environment: ORVA_BUILD (build folder, default build), ORVA_JOBS, ORVA_SKIP_INSTALL=1.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=$(realpath -m "${ORVA_BUILD:-$ORVA_SOURCE_DIR/build}")
DATA=$(realpath -m "${1:-$ORVA_SOURCE_DIR/samples/2026-11}")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "error: orva is a desktop program and there is no display here (DISPLAY is not set)." >&2
    echo "Run it from a graphical session (a desktop, or ssh -X)." >&2
    exit 1
fi

if [ "${ORVA_SKIP_INSTALL:-0}" != 1 ]; then
    orva_install_packages "${ORVA_BUILD_PACKAGES[@]}"
fi

orva_log "configuring $BUILD"
cmake -S "$ORVA_SOURCE_DIR" -B "$BUILD" -DORVA_WERROR=ON "${ORVA_SAMPLE_CMAKE_OPTIONS[@]}"
orva_log "building orva"
cmake --build "$BUILD" -j "$(orva_jobs)" --target orva

# orva keeps its font and remembered answers beside the executable, and never writes into the
# data folder.
orva_log "starting orva on $DATA"
exec "$BUILD/orva" "$DATA"
