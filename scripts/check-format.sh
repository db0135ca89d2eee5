#!/usr/bin/env bash
# Fails, naming the files, when a C++ source is not as clang-format makes it
# with the root's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."

log=$(mktemp)
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$log"; then
    grep -oE "^[^: ]+:[0-9]+:[0-9]+: error" "$log" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
    rm -f "$log"
    echo "run: clang-format -i FILE (the root's .clang-format)" >&2
    exit 1
fi
rm -f "$log"
echo "format: ${#sources[@]} sources as clang-format makes them"
