#!/usr/bin/env bash
# Installs the cross toolchain, 64-bit Wine, the signing tools, the test tools, what makes and enters
# the Debian root of the 32-bit tests, and the benchmark's peer (NSIS); does nothing when they are present.
# The host needs no foreign architecture: 32-bit Wine lives in that root (tools/root).
set -euo pipefail
. "$(dirname "$0")/root/apt.sh"

packages=(
  cmake make git
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine64 xvfb xauth
  googletest
  osslsigncode openssl
  debootstrap bubblewrap
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

[ "$(id -u)" -eq 0 ] || APT_IN=sudo
apt_install install-deps.sh "${missing[@]}"
