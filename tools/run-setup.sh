#!/usr/bin/env bash
# run-setup.sh [tail...]: builds the x64 preset and runs its runnable Setup.exe (the x86-64 payload in both slots) under Wine as NT 6.0; tail defaults to /status.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# BUILD_DIR: a build folder of your own instead of the preset's.
build=${BUILD_DIR:-build/x64}
cmake --preset x64 -B "$build" >/dev/null
cmake --build "$build" -j2 >/dev/null

[ $# -gt 0 ] || set -- /status
root=$(cd "$build" && pwd)
windows_path() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

export WINEPREFIX=$root/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
exec /usr/lib/wine/wine64 "$root/tools/RunSetup/RunSetup.exe" \
  "$(windows_path "$root/runnable/Setup.exe")" "$@"
