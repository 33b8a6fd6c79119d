#!/usr/bin/env bash
# Installs the cross toolchain, Wine, the signing tools, the test tools and the benchmark's peer (NSIS); does nothing when they are present.
set -euo pipefail

packages=(
  cmake make git
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine64 wine32:i386 xvfb xauth
  googletest
  osslsigncode openssl
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine, which runs the shipped build, comes from the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
