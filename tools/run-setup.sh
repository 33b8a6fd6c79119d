#!/usr/bin/env bash
# run-setup.sh [tail...]: builds the shipped 32-bit Setup.exe (x86 preset) and runs it under 32-bit Wine as NT 6.0, on 64-bit Windows (WOW64); tail defaults to /status.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# BUILD_DIR: a build folder of your own instead of the preset's.
build=${BUILD_DIR:-build/x86}
cmake --preset x86 -B "$build" >/dev/null
cmake --build "$build" -j2 --target Setup RunSetup >/dev/null

[ $# -gt 0 ] || set -- /status
root=$(cd "$build" && pwd)
. tools/wine.sh
wine_environment "$root" "$root/wineprefix-run"
exec "$(wine_setting "$root" WINE32_LOADER)" "$root/tools/RunSetup/RunSetup.exe" "$(windows_path "$root/Setup.exe")" "$@"
