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

# What building orva needs (compiler, Qt 6, the embedded font, the test frameworks).
ORVA_BUILD_PACKAGES=(
    cmake make g++
    qt6-base-dev libgl-dev libcups2-dev zlib1g-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation2 fonts-dejavu-core
    python3
)

# What the end-to-end tests need: the print server with its PDF queue (cupsd, cupsctl, lpadmin,
# lpstat, ipptool, cups-pdf and the Ghostscript it renders with), pdfinfo and pdftotext, and an
# X server with xdotool for the window (xauth for xvfb-run).
ORVA_E2E_PACKAGES=(
    cups cups-daemon cups-client cups-bsd cups-ipp-utils printer-driver-cups-pdf ghostscript
    poppler-utils
    xvfb xauth xdotool
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
