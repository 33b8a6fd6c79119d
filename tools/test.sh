#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, runs both test presets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

for preset in x86 x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
