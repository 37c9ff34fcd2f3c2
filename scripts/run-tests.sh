#!/usr/bin/env bash
# Runs every test of ОРВА: installs what is missing (Debian 12), builds with warnings as errors,
# starts a CUPS print server with a PDF queue as the default printer for the end-to-end tests,
# runs all ctest tests, then builds the core tests with the address and undefined-behaviour
# sanitizers and runs them too, then builds the fuzz targets with clang and runs each for 10 s
# from its seed corpus (scripts/fuzz.sh). Exits non-zero when anything fails.
#
#   bash scripts/run-tests.sh
#
# Environment: ORVA_BUILD (build folder, default build), ORVA_SANITIZE_BUILD (default
# ORVA_BUILD-sanitize), ORVA_FUZZ_BUILD (default ORVA_BUILD-fuzz), ORVA_JOBS (parallel jobs),
# ORVA_SKIP_INSTALL=1 (no apt-get).
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=$(realpath -m "${ORVA_BUILD:-$ORVA_SOURCE_DIR/build}")
SANITIZE_BUILD=$(realpath -m "${ORVA_SANITIZE_BUILD:-$BUILD-sanitize}")
FUZZ_BUILD=$(realpath -m "${ORVA_FUZZ_BUILD:-$BUILD-fuzz}")
cd "$ORVA_SOURCE_DIR"
QUEUE=ORVA_PDF
PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
export LC_ALL=C.UTF-8

if [ "${ORVA_SKIP_INSTALL:-0}" != 1 ]; then
    orva_install_packages "${ORVA_BUILD_PACKAGES[@]}" "${ORVA_E2E_PACKAGES[@]}" "${ORVA_PACKAGE_TEST_PACKAGES[@]}" \
        "${ORVA_FUZZ_PACKAGES[@]}"
fi

# ------------------------------------------------------------------ print server

started_cupsd=""      # pid of the cupsd this script started, if it did
created_queue=0
previous_default=""

cups_running() {
    lpstat -r 2>/dev/null | grep -q 'scheduler is running'
}

wait_for_cups() {
    local i
    for i in $(seq 1 100); do
        cups_running && return 0
        sleep 0.2
    done
    return 1
}

# The print test reads each job's document back from the spool (/var/spool/cups/d<job>-001),
# which cupsd deletes after printing unless PreserveJobFiles is set.
start_cups() {
    if cups_running; then
        orva_log "using the running print server"
        if ! cupsctl 2>/dev/null | grep -qix 'PreserveJobFiles=Yes'; then
            orva_as_root cupsctl PreserveJobFiles=Yes
            wait_for_cups || { echo "error: the print server did not come back after cupsctl" >&2; return 1; }
        fi
    else
        if ! grep -qiE '^[[:space:]]*PreserveJobFiles[[:space:]]+Yes[[:space:]]*$' /etc/cups/cupsd.conf; then
            orva_as_root sed -i -E '/^[[:space:]]*PreserveJobFiles[[:space:]]/d' /etc/cups/cupsd.conf
            echo 'PreserveJobFiles Yes' | orva_as_root tee -a /etc/cups/cupsd.conf >/dev/null
        fi
        orva_log "starting the print server"
        # cupsd daemonises itself; its pid lands in /run/cups/cupsd.pid.
        orva_as_root /usr/sbin/cupsd
        if ! wait_for_cups; then
            echo "error: cupsd did not start (see /var/log/cups/error_log)" >&2
            return 1
        fi
        started_cupsd=$(cat /run/cups/cupsd.pid 2>/dev/null || true)
    fi
    previous_default=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
    if ! lpstat -p "$QUEUE" >/dev/null 2>&1; then
        created_queue=1
        # Never lpinfo here: it probes the network. The cups-pdf backend needs no discovery.
        orva_as_root lpadmin -p "$QUEUE" -E -v cups-pdf:/ -P "$PPD" -o printer-is-shared=false
    fi
    orva_as_root lpadmin -d "$QUEUE"
    orva_log "default printer: $(lpstat -d)"
}

stop_cups() {
    if [ "$created_queue" = 1 ]; then
        if [ -n "$previous_default" ] && [ "$previous_default" != "$QUEUE" ]; then
            orva_as_root lpadmin -d "$previous_default" || true
        fi
        orva_as_root lpadmin -x "$QUEUE" || true
    elif [ -n "$previous_default" ] && [ "$previous_default" != "$QUEUE" ]; then
        orva_as_root lpadmin -d "$previous_default" || true
    fi
    if [ -n "$started_cupsd" ]; then
        orva_log "stopping the print server (pid $started_cupsd)"
        orva_as_root kill "$started_cupsd" 2>/dev/null || true
        local i
        for i in $(seq 1 50); do
            kill -0 "$started_cupsd" 2>/dev/null || break
            sleep 0.2
        done
    fi
}

cleanup() {
    stop_cups || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ------------------------------------------------------------------ build and test

status=0

orva_build "$BUILD"

start_cups
# The servers are up: from here an end-to-end test that finds one missing fails instead of
# reporting itself skipped.
export ORVA_E2E_REQUIRED=1

orva_log "running the tests in $BUILD"
if ! ctest --test-dir "$BUILD" --output-on-failure -j "$(orva_jobs)"; then
    status=1
fi

orva_log "building the core tests with the sanitizers in $SANITIZE_BUILD"
orva_build "$SANITIZE_BUILD" -DORVA_CORE_ONLY=ON -DORVA_SANITIZE=ON -DORVA_BENCH=OFF
if ! ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$SANITIZE_BUILD" --output-on-failure -j "$(orva_jobs)"; then
    status=1
fi

orva_log "running every fuzz target for 10 s from its seed corpus"
if ! ORVA_FUZZ_BUILD="$FUZZ_BUILD" bash "$ORVA_SOURCE_DIR/scripts/fuzz.sh" 10; then
    status=1
fi

if [ "$status" -eq 0 ]; then
    orva_log "all tests passed ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
else
    orva_log "some tests FAILED ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
fi
exit "$status"
