# Shared by the end-to-end test scripts (sourced). ctest passes ORVA_BUILD and ORVA_SOURCE.

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ORVA_SOURCE=${ORVA_SOURCE:-$(cd "$E2E_DIR/../.." && pwd)}
ORVA_BUILD=${ORVA_BUILD:?ORVA_BUILD must name the build folder}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A server the test needs is missing: a skip (77) on a developer's machine, a failure once
# scripts/run-tests.sh has started the servers (ORVA_E2E_REQUIRED=1) or in CI.
missing() {
    if [ "${ORVA_E2E_REQUIRED:-0}" = 1 ] || [ "${CI:-}" = true ]; then
        fail "$* (the end-to-end tests need it here)"
    fi
    echo "SKIP: $* (scripts/run-tests.sh sets it up; it needs root)" >&2
    exit 77
}

need_commands() {
    local command
    for command in "$@"; do
        command -v "$command" >/dev/null 2>&1 || missing "command '$command' is not installed"
    done
}

# wait_until SECONDS COMMAND...: polls COMMAND every 0.2 s until it succeeds; fails after SECONDS.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# A fresh folder for this test's files under the build folder, kept for inspection.
artifacts_dir() {
    local dir="$ORVA_BUILD/e2e/$1"
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "$dir"
}

# The tests' own print server, which scripts/run-tests.sh starts from a temporary folder:
# CUPS_SERVER (host:port) names it for every CUPS client and ORVA_CUPS_SPOOL is its spool. The
# tests add queues and read spooled jobs, so they never fall back on the system's server.
need_test_print_server() {
    [ -n "${CUPS_SERVER:-}" ] && [ -n "${ORVA_CUPS_SPOOL:-}" ] ||
        missing "no test print server (CUPS_SERVER and ORVA_CUPS_SPOOL are not set)"
    case $CUPS_SERVER in
    /*) missing "CUPS_SERVER names a socket; the tests need the server's host:port for ipptool" ;;
    esac
}
