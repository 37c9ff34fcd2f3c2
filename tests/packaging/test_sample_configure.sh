#!/usr/bin/env bash
# The README's first command must configure on a machine with the build packages alone: run-sample.sh's
# configure step, in a fresh folder, with GoogleTest, Google Benchmark and Python (so openpyxl) made
# unfindable. It must succeed and set up the two programs and nothing of the tests or benchmarks; the test script's configure of
# the same folder afterwards must set them up again.
#   bash tests/packaging/test_sample_configure.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A python3 that has no openpyxl and a PATH without the real one, for any probe that slips through.
mkdir "$work/bin"
printf '#!/bin/sh\necho "python3 is hidden by this test" >&2\nexit 1\n' >"$work/bin/python3"
chmod +x "$work/bin/python3"

hidden=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON)
if ! PATH="$work/bin:$PATH" cmake -S "$ORVA_SOURCE_DIR" -B "$work/build" -DORVA_WERROR=ON \
    "${ORVA_SAMPLE_CMAKE_OPTIONS[@]}" "${hidden[@]}" -DCMAKE_CXX_COMPILER_LAUNCHER= >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    echo "FAIL: the sample's configure step needs a test package" >&2
    exit 1
fi

status=0
targets=$(cmake --build "$work/build" --target help)
for wanted in orva orva-cli; do
    grep -qx "\.\.\. $wanted" <<<"$targets" || { echo "FAIL: no target $wanted" >&2; status=1; }
done
for unwanted in orva_core_tests orva_cli_tests orva_test_support bench_view tst_main_window; do
    if grep -qx "\.\.\. $unwanted" <<<"$targets"; then
        echo "FAIL: the sample's build would build $unwanted" >&2
        status=1
    fi
done
# The test script configures the same folder after the sample: it must not inherit the cached OFF.
if ! cmake -S "$ORVA_SOURCE_DIR" -B "$work/build" -DORVA_WERROR=ON "${ORVA_TEST_CMAKE_OPTIONS[@]}" "${hidden[@]/%=ON/=OFF}" \
    >"$work/configure-tests.log" 2>&1; then
    cat "$work/configure-tests.log" >&2
    echo "FAIL: the test script's configure failed over the sample's folder" >&2
    exit 1
fi
targets=$(cmake --build "$work/build" --target help)
for wanted in orva_core_tests orva_cli_tests bench_view; do
    grep -qx "\.\.\. $wanted" <<<"$targets" || { echo "FAIL: after the sample, the tests' configure has no $wanted" >&2; status=1; }
done
[ "$status" -eq 0 ] && echo "PASS: the sample configures with the build packages alone"
exit "$status"
