#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under wine: the unit tests, the viewer on an Xvfb display, the zip and the
# installer, then the battery that compares the Windows build's output with
# the Linux build's byte for byte. Every process has a timeout, since a crash under
# wine can hang instead of exiting.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh
if [[ ! -x build/default/marrowix-inspect || ! -x build/default/marrowix-make-sample ]]; then
    cmake --preset default
    cmake --build --preset default -j"$(nproc)" --target marrowix-inspect marrowix-make-sample
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

echo "== the viewer under wine =="
if ! bash scripts/windows/viewer-check.sh build/windows/bin; then
    status=1
fi

echo "== the zip and the installer =="
mapfile -t packages < <(bash scripts/windows/package.sh)
zip=${packages[0]}
unpacked=$(mktemp -d)
unzip -q "$zip" -d "$unpacked"
if ! timeout 60 wine "$unpacked"/*/marrowix-inspect.exe --version; then
    echo "FAILED: marrowix-inspect from the zip"
    status=1
fi
rm -rf "$unpacked"
if ! bash scripts/windows/installer-check.sh "${packages[1]}"; then
    status=1
fi

echo "== battery: the Windows build against the Linux build =="
if ! bash scripts/windows/battery.sh build/default/marrowix-inspect \
    build/windows/bin/marrowix-inspect.exe; then
    status=1
fi
exit $status
