#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, runs both test presets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

for preset in x86 x64; do
  cmake --preset "$preset" >/dev/null
done

# The shipped build runs under 32-bit Wine, whose loader is an i386 program:
# where this kernel refuses those, its tests run in a Debian guest under qemu.
# Say which way this run goes before anything waits on it.
. tools/wine.sh
if "$(wine_setting build/x86 WINE32_LOADER)" --version >/dev/null 2>&1; then
  route=host
  echo "test.sh: this kernel runs i386 programs; the shipped build's tests run on the host"
else
  route=guest
  echo "test.sh: this kernel does not run i386 programs; the shipped build's tests run in the guest (tools/guest)"
fi

for preset in x86 x64; do
  cmake --build --preset "$preset"
  if [ "$preset" = x86 ] && [ "$route" = guest ]; then
    # The configure step's tests need the cross compilers, which only the host has.
    bash tools/guest/build.sh build/x86
    bash tools/guest/run.sh build/x86 ctest --preset x86 -E '^configure[.]'
    ctest --preset x86 -R '^configure[.]'
  else
    ctest --preset "$preset"
  fi
done
