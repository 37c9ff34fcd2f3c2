#!/usr/bin/env bash
# Runs every test of ОРВА: installs what is missing (Debian 12), checks the formatting of the C++
# sources, builds with warnings as errors, starts a private CUPS print server (its own temporary
# ServerRoot, spool and port; CUPS_SERVER points every client at it) with a PDF queue as its
# default printer, runs all ctest tests including the installed-package test, then builds the core
# tests with the address and undefined-behaviour sanitizers and runs them too, then the core, orva-cli
# and window tests with the thread sanitizer (the window runs its work on workers), then builds the fuzz
# targets with clang and runs each for 10 s from its seed corpus (scripts/fuzz.sh). Exits non-zero
# when anything fails, or when /etc/cups is not byte for byte what it was before the tests. Prints
# the time of each stage at the end.
#
#   bash scripts/run-tests.sh
#
# Environment: ORVA_BUILD (build folder, default build), ORVA_SANITIZE_BUILD (default
# ORVA_BUILD-sanitize), ORVA_TSAN_BUILD (default ORVA_BUILD-tsan), ORVA_FUZZ_BUILD (default
# ORVA_BUILD-fuzz), ORVA_JOBS (parallel jobs), ORVA_SKIP_INSTALL=1 (no apt-get).
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=$(realpath -m "${ORVA_BUILD:-$ORVA_SOURCE_DIR/build}")
SANITIZE_BUILD=$(realpath -m "${ORVA_SANITIZE_BUILD:-$BUILD-sanitize}")
TSAN_BUILD=$(realpath -m "${ORVA_TSAN_BUILD:-$BUILD-tsan}")
FUZZ_BUILD=$(realpath -m "${ORVA_FUZZ_BUILD:-$BUILD-fuzz}")
cd "$ORVA_SOURCE_DIR"
QUEUE=ORVA_PDF
export LC_ALL=C.UTF-8

status=0
failures=()
failed() {
    status=1
    failures+=("$1")
}

# Each stage's wall time, for the summary at the end.
stage_times=()
stage_name=""
stage_began=$SECONDS
stage() {
    if [ -n "$stage_name" ]; then
        stage_times+=("$(printf '%-34s %5d s' "$stage_name" $((SECONDS - stage_began)))")
    fi
    stage_name=${1:-}
    stage_began=$SECONDS
    if [ -n "$stage_name" ]; then orva_log "stage: $stage_name"; fi
}

cleanup() {
    orva_print_server_stop "$BUILD/cups-log" || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "${ORVA_SKIP_INSTALL:-0}" != 1 ]; then
    stage "install packages"
    orva_install_packages "${ORVA_BUILD_PACKAGES[@]}" "${ORVA_TEST_PACKAGES[@]}" "${ORVA_E2E_PACKAGES[@]}" "${ORVA_PACKAGE_TEST_PACKAGES[@]}" \
        "${ORVA_FUZZ_PACKAGES[@]}" "${ORVA_LINT_PACKAGES[@]}"
fi

# The tests must leave the system's print server configuration as they found it (after the
# packages above, which may create it).
etc_cups_before=$(mktemp)
orva_etc_cups_listing >"$etc_cups_before"

stage "format check (clang-format)"
bash "$ORVA_SOURCE_DIR/scripts/check-format.sh" || failed "format check"

stage "build"
orva_build "$BUILD" "${ORVA_TEST_CMAKE_OPTIONS[@]}"

stage "tests (ctest, all labels)"
if [ "$(id -u)" -eq 0 ]; then
    orva_print_server_start "$QUEUE"
    # The servers are up: from here an end-to-end test that finds one missing fails instead of
    # reporting itself skipped.
    export ORVA_E2E_REQUIRED=1
else
    orva_log "not root: no print server is started; the print tests report themselves skipped"
fi
# The package test installs the .deb and creates a user: only when asked, as here.
export ORVA_PACKAGE_TEST=1
orva_log "running the tests in $BUILD"
ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j "$(orva_jobs)" || failed "tests in $BUILD"
orva_print_server_stop "$BUILD/cups-log"
unset ORVA_E2E_REQUIRED ORVA_PACKAGE_TEST

stage "sanitizers: build and core tests"
orva_build "$SANITIZE_BUILD" -DORVA_CORE_ONLY=ON -DORVA_SANITIZE=ON -DBUILD_TESTING=ON -DORVA_BENCH=OFF
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$SANITIZE_BUILD" --output-on-failure --no-tests=error -j "$(orva_jobs)" || failed "sanitizer tests"

stage "thread sanitizer: core, orva-cli and window tests"
# Only what these tests need is built (orva_thread_tests). Debian's Qt is not built with the
# sanitizer: the reports that come of Qt's own threads are suppressed in scripts/tsan.supp, which
# says why. The end-to-end tests (their own print server) and the regression cases
# (orva-cli's outputs, already run above) are left out.
cmake -S "$ORVA_SOURCE_DIR" -B "$TSAN_BUILD" -DORVA_WERROR=ON -DORVA_SANITIZE_THREAD=ON -DBUILD_TESTING=ON \
    -DORVA_BENCH=OFF
cmake --build "$TSAN_BUILD" -j "$(orva_jobs)" --target orva_thread_tests
# QT_NO_GLIB: Qt's own event loop, not GLib's, whose allocator is not built with the sanitizer either.
# die_after_fork=0: a test that reads a PDF back starts pdftotext through QProcess while a worker of
# the window is alive; the child only executes the program, which the sanitizer cannot tell.
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$ORVA_SOURCE_DIR/scripts/tsan.supp} \
    QT_NO_GLIB=1 ctest --test-dir "$TSAN_BUILD" --output-on-failure --no-tests=error -j "$(orva_jobs)" -L 'core|cli|gui' -LE e2e ||
    failed "thread sanitizer tests"

stage "fuzz targets (10 s each)"
ORVA_FUZZ_BUILD="$FUZZ_BUILD" bash "$ORVA_SOURCE_DIR/scripts/fuzz.sh" 10 || failed "fuzz targets"

stage ""
if ! orva_etc_cups_listing | diff -u "$etc_cups_before" - >&2; then
    failed "/etc/cups changed during the run (see the difference above)"
else
    orva_log "/etc/cups is byte for byte as before: $(orva_etc_cups_listing | sha256sum | cut -c1-16)"
fi
rm -f "$etc_cups_before"

orva_log "stages:"
printf '   %s\n' "${stage_times[@]}" >&2
if [ "$status" -eq 0 ]; then
    orva_log "all tests passed ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
else
    orva_log "FAILED: ${failures[*]} ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
fi
exit "$status"
