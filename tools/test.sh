#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, runs both test presets under each
# Wine: that of this machine's Debian release, then Wine 10 of Debian 13 (trixie).
# SETUP_ROUTE=guest boots the Debian root under qemu even where the kernel runs i386 programs.
# SETUP_WINE_RELEASES: the Debian releases whose Wine runs the tests, the first one booted as the
# guest where there is one (default: this machine's release, then trixie).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
. tools/root/route.sh
runs=no
! kernel_runs_i386 || runs=yes
choose_route "$runs" "${SETUP_ROUTE:-}" test.sh

host=$(. /etc/os-release && echo "$VERSION_CODENAME")
default="$host"
[ "$host" = trixie ] || default="$host trixie"
releases=${SETUP_WINE_RELEASES:-$default}

# The roots are fetched while the builds use the processors.
mkdir -p build/root
(
  for release in $releases; do
    SETUP_ROOT_RELEASE=$release bash tools/root/make.sh "build/root/$release" || exit
  done
) > build/root-make.log 2>&1 &
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

# The configure step's tests and the second build of Setup need the cross compilers, the signing
# tests openssl: only the host has them. They are read from their own folders: the whole build's
# list runs 32-bit test programs to discover their cases.
on_host='^(configure|repro|signing)[.]'
for folder in release repro; do
  ctest --test-dir "build/x86/tests/$folder" -R "$on_host" --output-on-failure
done

# Every suite runs, and the run fails if one did.
failed=()
first=yes
export ROOT_PREFIXES="build/x64/wineprefixes build/x86/wineprefixes"
for release in $releases; do
  root=build/root/$release
  wine=$(in_root direct "$root" /usr/lib/wine/wine64 --version)
  echo "test.sh: $wine of $release"
  # x86-64 programs run on every kernel: the root is entered directly.
  in_root direct "$root" ctest --preset x64 || failed+=("x64 under $wine")
  route=$(x86_route "$ROUTE" "$first")
  if [ "$route" = none ]; then
    echo "test.sh: the x86 suite does not run under $wine here: its way in is the guest, and only the first root is booted as one"
  else
    in_root "$route" "$root" ctest --preset x86 -E "$on_host" || failed+=("x86 under $wine")
  fi
  first=no
done
[ ${#failed[@]} -eq 0 ] || { echo "test.sh: failed: ${failed[*]}" >&2; exit 1; }
