#!/usr/bin/env bash
# run-setup.sh [tail...]: builds the shipped 32-bit Setup.exe (x86 preset) and runs it under 32-bit Wine as
# NT 6.0, on 64-bit Windows (WOW64), in the project's Debian root; tail defaults to /status.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
. tools/root/route.sh
runs=no
! kernel_runs_i386 || runs=yes
choose_route "$runs" "${SETUP_ROUTE:-}" run-setup.sh >&2

root=build/root/$(. /etc/os-release && echo "$VERSION_CODENAME")
bash tools/root/make.sh "$root" >&2
# BUILD_DIR: a build folder of your own instead of the preset's.
build=${BUILD_DIR:-build/x86}
cmake --preset x86 -B "$build" >/dev/null
cmake --build "$build" -j2 --target Setup RunSetup >/dev/null

[ $# -gt 0 ] || set -- /status
build=$(cd "$build" && pwd)
ROOT_PREFIXES="$build/wineprefixes" in_root "$ROUTE" "$root" bash tools/run-in-prefix.sh "$build" "$@"
