#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, runs both test presets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# The shipped build runs under 32-bit Wine, whose loader is an i386 program:
# say which way this run goes before anything waits on it.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "test.sh: this kernel runs i386 programs; the shipped build's tests run on the host"
else
  echo "test.sh: this kernel does not run i386 programs (/usr/lib/wine/wine failed); the shipped build cannot be executed here" >&2
  exit 1
fi

for preset in x86 x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
