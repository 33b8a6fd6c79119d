#!/usr/bin/env bash
# run-in-prefix.sh BUILD [tail...]: inside the root, runs BUILD's Setup.exe through RunSetup in a
# 64-bit prefix, so that it is a WOW64 process; ends with Setup's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
. tools/wine.sh
wine_environment "$build" "$build/wineprefixes/run"
exec "$(wine_setting "$build" WINE32_LOADER)" "$build/tools/RunSetup/RunSetup.exe" "$(windows_path "$build/Setup.exe")" "$@"
