# Shared by scripts/run-tests.sh and scripts/run-sample.sh: package installation and the build.
# Source it; it defines functions only.

ORVA_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

orva_log() {
    printf '== %s\n' "$*" >&2
}

# Runs a command as root: directly when we are root, else through sudo.
orva_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: '$*' needs root and sudo is not installed" >&2
        return 1
    fi
}

# Installs the Debian packages among "$@" that are not installed yet (one apt-get run for all).
orva_install_packages() {
    local missing=() package status
    for package in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
        if [ "$status" != "install ok installed" ]; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    orva_log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    orva_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    orva_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What building the programs needs (compiler, Qt 6, the embedded font): nothing of the tests.
ORVA_BUILD_PACKAGES=(
    cmake make g++
    qt6-base-dev libgl-dev libcups2-dev zlib1g-dev libxlsxwriter-dev qt6-translations-l10n
    fonts-liberation2 fonts-dejavu-core
)

# How run-sample.sh configures: the programs alone, so a machine with only the build packages
# configures (tests/packaging/test_sample_configure.sh holds it to that).
ORVA_SAMPLE_CMAKE_OPTIONS=(-DBUILD_TESTING=OFF -DORVA_BENCH=OFF)

# What the tests and benchmarks need beyond the build: the test frameworks, Google Benchmark, and
# python3 with python3-openpyxl, which runs the data cases and reads the spreadsheets back.
ORVA_TEST_PACKAGES=(
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-openpyxl
)

# How run-tests.sh configures: always everything, whatever a sample build left in the cache.
ORVA_TEST_CMAKE_OPTIONS=(-DBUILD_TESTING=ON -DORVA_BENCH=ON)

# What the end-to-end tests need: the print server with its PDF queue (cupsd, cupsctl, lpadmin,
# lpstat, ipptool, cups-pdf and the Ghostscript it renders with), pdfinfo and pdftotext, and an
# X server with xdotool for the window and xclip for its clipboard (xauth for xvfb-run).
ORVA_E2E_PACKAGES=(
    cups cups-daemon cups-client cups-bsd cups-ipp-utils printer-driver-cups-pdf ghostscript
    poppler-utils
    xvfb xauth xdotool xclip
)

# What the package tests need: cpack's DEB generator runs dpkg-shlibdeps (dpkg-dev) on the files
# that `file` calls ELF; the installed metainfo, desktop entry and man pages are checked with
# appstreamcli, desktop-file-validate and man.
ORVA_PACKAGE_TEST_PACKAGES=(
    dpkg-dev file appstream desktop-file-utils man-db
)

# What the fuzz targets need: clang and libFuzzer (Debian 12 ships libFuzzer in libclang-rt-14-dev,
# which clang only recommends).
ORVA_FUZZ_PACKAGES=(
    clang libclang-rt-14-dev
)

# What the format check needs (scripts/check-format.sh).
ORVA_LINT_PACKAGES=(
    clang-format-14
)

# Number of parallel build jobs: ORVA_JOBS, else the processor count.
orva_jobs() {
    if [ -n "${ORVA_JOBS:-}" ]; then
        echo "$ORVA_JOBS"
    else
        nproc 2>/dev/null || echo 2
    fi
}

# orva_build BUILD_DIR [cmake options...]: configures (warnings as errors) and builds everything.
orva_build() {
    local build=$1
    shift
    orva_log "configuring $build"
    cmake -S "$ORVA_SOURCE_DIR" -B "$build" -DORVA_WERROR=ON "$@"
    orva_log "building $build"
    cmake --build "$build" -j "$(orva_jobs)"
}

# ------------------------------------------------------------------ the test print server
# A CUPS server of the tests' own, from a temporary folder: its cupsd.conf and cups-files.conf,
# spool, logs, state and cache there, listening on a free localhost port and a socket of its own.
# It never reads or writes /etc/cups, the system's spool or the system server's socket and pid
# file, so a system cupsd may run beside it. Root only: the cups-pdf backend runs as root.
#
#   orva_print_server_start QUEUE   starts it, adds QUEUE (cups-pdf) as its default printer and
#                                   exports CUPS_SERVER, CUPS_SERVERROOT and ORVA_CUPS_SPOOL
#   orva_print_server_stop [LOGDIR] stops it, keeps its logs in LOGDIR, removes its folder
ORVA_CUPS_DIR=""
ORVA_CUPS_PID=""
ORVA_CUPS_PDF_PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

orva_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

orva_print_server_start() {
    local queue=$1 port i
    ORVA_CUPS_DIR=$(mktemp -d /tmp/orva-cups.XXXXXX)
    # The filters run as lp and must reach the spool below this folder.
    chmod 755 "$ORVA_CUPS_DIR"
    mkdir -p "$ORVA_CUPS_DIR"/{conf,spool,spool/tmp,log,run,cache}
    port=$(orva_free_port)
    cat >"$ORVA_CUPS_DIR/conf/cups-files.conf" <<EOT
ServerRoot $ORVA_CUPS_DIR/conf
RequestRoot $ORVA_CUPS_DIR/spool
TempDir $ORVA_CUPS_DIR/spool/tmp
StateDir $ORVA_CUPS_DIR/run
CacheDir $ORVA_CUPS_DIR/cache
AccessLog $ORVA_CUPS_DIR/log/access_log
ErrorLog $ORVA_CUPS_DIR/log/error_log
PageLog $ORVA_CUPS_DIR/log/page_log
Printcap $ORVA_CUPS_DIR/run/printcap
SystemGroup root
EOT
    # PreserveJobFiles: the print tests read each job's document back from the spool
    # (d<job>-001). No access rules: only this machine reaches the port, for the tests' length.
    cat >"$ORVA_CUPS_DIR/conf/cupsd.conf" <<EOT
Listen localhost:$port
Listen $ORVA_CUPS_DIR/run/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
LogLevel info
MaxLogSize 0
PreserveJobFiles Yes
PreserveJobHistory Yes
DefaultPolicy default
<Policy default>
<Limit All>
Order Allow,Deny
</Limit>
</Policy>
EOT
    orva_log "starting a private print server on localhost:$port ($ORVA_CUPS_DIR)"
    /usr/sbin/cupsd -f -c "$ORVA_CUPS_DIR/conf/cupsd.conf" -s "$ORVA_CUPS_DIR/conf/cups-files.conf" \
        >"$ORVA_CUPS_DIR/log/cupsd.out" 2>&1 &
    ORVA_CUPS_PID=$!
    export CUPS_SERVER=localhost:$port
    # Clients read client.conf and lpoptions from here, not from /etc/cups.
    export CUPS_SERVERROOT=$ORVA_CUPS_DIR/conf
    export ORVA_CUPS_SPOOL=$ORVA_CUPS_DIR/spool
    for i in $(seq 1 100); do
        lpstat -r 2>/dev/null | grep -q 'scheduler is running' && break
        kill -0 "$ORVA_CUPS_PID" 2>/dev/null || break
        sleep 0.2
    done
    if ! lpstat -r 2>/dev/null | grep -q 'scheduler is running'; then
        echo "error: the private cupsd did not start:" >&2
        cat "$ORVA_CUPS_DIR/log/cupsd.out" "$ORVA_CUPS_DIR/log/error_log" >&2 2>/dev/null || true
        return 1
    fi
    # Never lpinfo here: it probes the network. The cups-pdf backend needs no discovery.
    lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ORVA_CUPS_PDF_PPD" -o printer-is-shared=false
    lpadmin -d "$queue"
    orva_log "default printer: $(lpstat -d)"
}

orva_print_server_stop() {
    local logs=${1:-} i
    if [ -n "$ORVA_CUPS_PID" ]; then
        kill "$ORVA_CUPS_PID" 2>/dev/null || true
        for i in $(seq 1 50); do
            kill -0 "$ORVA_CUPS_PID" 2>/dev/null || break
            sleep 0.2
        done
        kill -9 "$ORVA_CUPS_PID" 2>/dev/null || true
        wait "$ORVA_CUPS_PID" 2>/dev/null || true
        ORVA_CUPS_PID=""
    fi
    if [ -n "$ORVA_CUPS_DIR" ]; then
        if [ -n "$logs" ]; then
            rm -rf "$logs"
            mkdir -p "$logs"
            cp -r "$ORVA_CUPS_DIR/log/." "$logs/" 2>/dev/null || true
        fi
        rm -rf "$ORVA_CUPS_DIR"
        ORVA_CUPS_DIR=""
    fi
}

# Every entry of /etc/cups with its type, mode, owner and size, and a checksum of every file:
# two listings that agree mean the folder is byte for byte the same.
orva_etc_cups_listing() {
    [ -d /etc/cups ] || { echo "no /etc/cups"; return 0; }
    (
        cd /etc/cups
        find . -printf '%p %y %m %u:%g %s %l\n' | LC_ALL=C sort
        find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum 2>&1
    )
}
