#!/usr/bin/env bash
# Builds Marrowix, writes the sample texture set into ./sample and opens the
# viewer on it from there, so Browse also starts beside sample/world.txt.
# Without a display the sample set is shown with marrowix-inspect instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

root=$(pwd)
listing=$(build/default/marrowix-make-sample sample)
echo "Sample set written: $listing (encodings dxt and etc)"

show_with_inspector() {
    echo
    echo "== The sample set as the viewer's tree shows it (dxt) =="
    "$root/build/default/marrowix-inspect" --mode dxt "$listing"
    "$root/build/default/marrowix-inspect" --mode dxt --export 3 --output sample/rings.png "$listing"
    echo
    echo "The 'rings' texture was exported to sample/rings.png."
}

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo
    echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the viewer cannot open a"
    echo "window here. Run this command from a desktop session to open it."
    show_with_inspector
    exit 0
fi

echo "Opening the viewer on the sample set: answer Yes for dxt or No for etc."
if ! (cd sample && "$root/build/default/marrowix" world.txt); then
    echo
    echo "The viewer could not open a window on this display."
    show_with_inspector
fi
