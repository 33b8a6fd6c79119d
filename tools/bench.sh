#!/usr/bin/env bash
# bench.sh: builds what the benchmark needs and runs it under Wine. It prints
# what Setup costs beyond the payload it starts, beside the floor of any
# bootstrapper measured in the same run: a table, then one BENCH line per figure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# BUILD_DIR: the 64-bit build that runs the benchmark. BUILD_DIR86: the shipped
# 32-bit build, whose Setup with empty payloads weighs Setup on its own.
build=${BUILD_DIR:-build/x64}
build86=${BUILD_DIR86:-build/x86}

echo "bench: building $build (x64) and $build86 (x86, Setup with empty payloads)" >&2
cmake --preset x64 -B "$build" >/dev/null
cmake --build "$build" --target bench -j2 >/dev/null
cmake --preset x86 -B "$build86" >/dev/null
cmake --build "$build86" --target setup_unloaded -j2 >/dev/null
root86=$(cd "$build86" && pwd)

root=$(cd "$build" && pwd)
. tools/wine.sh
wine=$(wine_setting "$root" WINE64_LOADER)
server=$(wine_setting "$root" WINESERVER)
wine_environment "$root" "$root/wineprefix"

# One wineserver and a ready prefix for the whole run: no figure pays for them.
tools/wineserver.sh start "$wine" "$server"
trap 'tools/wineserver.sh stop "$wine" "$server" >/dev/null 2>&1' EXIT
"$wine" "$root/bench/bench.exe" "$(windows_path "$root86/unloaded/Setup.exe")"
