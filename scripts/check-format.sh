#!/usr/bin/env bash
# Fails when a C++ source of src, tests, bench or fuzz differs from what clang-format makes of it
# with the repository's .clang-format; lists each difference. Changes no file:
#
#   bash scripts/check-format.sh
#
# To format them: the same list with clang-format -i instead of --dry-run -Werror.
# Environment: ORVA_CLANG_FORMAT (the program, default clang-format-14, else clang-format).
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$ORVA_SOURCE_DIR"

format=${ORVA_CLANG_FORMAT:-}
if [ -z "$format" ]; then
    # The version is part of the result: another one formats some constructs differently.
    format=$(command -v clang-format-14 || command -v clang-format || true)
fi
[ -n "$format" ] || { echo "error: clang-format is not installed (clang-format-14)" >&2; exit 1; }

mapfile -d '' files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
orva_log "$("$format" --version | head -n 1): ${#files[@]} files"
if ! "$format" --dry-run -Werror "${files[@]}"; then
    bad=$("$format" --dry-run "${files[@]}" 2>&1 | grep -oE '^[^: ]+\.(cpp|h):' | sort -u | wc -l)
    orva_log "$bad files are not formatted (see above)"
    exit 1
fi
