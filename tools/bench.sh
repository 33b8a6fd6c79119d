#!/usr/bin/env bash
# bench.sh: builds what the benchmark needs and runs it under Wine. It prints
# what Setup costs beyond the payload it starts, beside the floor of any
# bootstrapper measured in the same run: a table, then one BENCH line per figure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# BUILD_DIR: the 64-bit build that runs the benchmark. BUILD_DIR86: the shipped
# 32-bit build, configured with empty payloads to weigh Setup on its own.
build=${BUILD_DIR:-build/x64}
build86=${BUILD_DIR86:-build/bench-x86}

echo "bench: building $build (x64) and $build86 (x86, empty payloads)" >&2
cmake --preset x64 -B "$build" >/dev/null
cmake --build "$build" --target bench -j2 >/dev/null

mkdir -p "$build86"
root86=$(cd "$build86" && pwd)
empty=$root86/empty-payload.bin
[ -e "$empty" ] || : >"$empty"
cmake --preset x86 -B "$build86" -DSETUP_PAYLOAD_X86="$empty" -DSETUP_PAYLOAD_X64="$empty" >/dev/null
cmake --build "$build86" --target Setup -j2 >/dev/null

root=$(cd "$build" && pwd)
windows_path() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
export WINEPREFIX=$root/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

# One wineserver and a ready prefix for the whole run: no figure pays for them.
tools/wineserver.sh start "$wine" "$server"
trap 'tools/wineserver.sh stop "$wine" "$server" >/dev/null 2>&1' EXIT
"$wine" "$root/bench/bench.exe" "$(windows_path "$root86/Setup.exe")"
