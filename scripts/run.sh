#!/usr/bin/env bash
# Builds Marrowix, writes the sample texture set into ./sample and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

listing=$(build/default/marrowix-make-sample sample)
echo
echo "Sample set written: $listing"
echo
echo "== DXT encoding =="
build/default/marrowix-inspect --mode dxt "$listing"
echo
echo "== ETC encoding, as JSON =="
build/default/marrowix-inspect --mode etc --json "$listing"
build/default/marrowix-inspect --mode dxt --export 3 --output sample/rings.png "$listing"
echo
echo "The 'rings' texture was exported to sample/rings.png."
