#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under wine: the unit tests, then the battery that compares the Windows
# build's output with the Linux build's byte for byte. Every process has a
# timeout, since a crash under wine can hang instead of exiting.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh
if [[ ! -x build/default/marrowix-inspect ]]; then
    cmake --preset default
    cmake --build --preset default -j"$(nproc)" --target marrowix-inspect
fi

export WINEPREFIX="$PWD/build/windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 wineboot --init >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
for test in build/windows/bin/marrowix_*_tests.exe; do
    echo "== $(basename "$test") (wine) =="
    if ! timeout 1800 wine "$test" --gtest_brief=1; then
        echo "FAILED: $(basename "$test")"
        status=1
    fi
done

echo "== battery: the Windows build against the Linux build =="
if ! bash scripts/windows/battery.sh build/default/marrowix-inspect \
    build/windows/bin/marrowix-inspect.exe; then
    status=1
fi
exit $status
