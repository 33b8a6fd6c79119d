#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, runs both test presets.
# SETUP_ROUTE=guest boots the Debian root under qemu even where the kernel runs i386 programs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
. tools/root/route.sh
runs=no
! kernel_runs_i386 || runs=yes
choose_route "$runs" "${SETUP_ROUTE:-}" test.sh

# The root is fetched while the builds use the processors.
root=build/root/$(. /etc/os-release && echo "$VERSION_CODENAME")
mkdir -p build
bash tools/root/make.sh "$root" > build/root-make.log 2>&1 &
making=$!

# In the guest a process start costs about a second: one run per test program and prefix there.
per_program=OFF
[ "$ROUTE" = direct ] || per_program=ON
cmake --preset x86 -DSETUP_TESTS_PER_PROGRAM=$per_program >/dev/null
cmake --preset x64 >/dev/null
cmake --build --preset x86
cmake --build --preset x64

made=0
wait "$making" || made=$?
cat build/root-make.log
[ "$made" -eq 0 ] || exit "$made"

# The x86-64 suite needs no i386 program: the host's own wine64 runs it.
ctest --preset x64
# The configure step's tests and the second build of Setup need the cross
# compilers, the signing tests openssl: only the host has them. They run
# after the root's share, since loading the x86 tests lists the drivers'
# cases, which takes the 32-bit Wine of the root.
on_host='^(configure|repro|signing)[.]'
GUEST_TMPFS="build/x86/wineprefix build/x86/drivers/wineprefix-wow64 build/x86/drivers/wineprefix-win32 build/x86/drivers/wineprefix-desktop" \
  in_root "$ROUTE" "$root" ctest --preset x86 -E "$on_host"
ctest --preset x86 -R "$on_host"
