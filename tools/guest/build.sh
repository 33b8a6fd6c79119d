#!/usr/bin/env bash
# Usage: tools/guest/build.sh ROOT  -- makes ROOT.guest (root.img, vmlinuz, initrd.img) from the
# Debian root of tools/root/make.sh, for run.sh; again whenever the root was made again.
set -euo pipefail
[ $# -eq 1 ] || { sed -n 2,3p "$0" >&2; exit 2; }
root=$(realpath "$1")
out=$root.guest
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../root/apt.sh"
[ -f "$root.made" ] || { echo "build.sh: no root at $root; run tools/root/make.sh first" >&2; exit 2; }
if [ -f "$out/made" ] && cmp -s "$out/made" "$root.made" && [ "$here/guest-init" -ot "$out/made" ]; then
  exit 0
fi

missing=()
for p in qemu-system-x86 e2fsprogs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt_install build.sh "${missing[@]}"

rm -rf "$out" "$out.partial"
mkdir -p "$out.partial"
cp "$root"/boot/vmlinuz-* "$out.partial/vmlinuz"
cp "$root"/boot/initrd.img-* "$out.partial/initrd.img"
install -m 755 "$here/guest-init" "$root/guest-init"
mkfs.ext4 -q -d "$root" -F "$out.partial/root.img" 6G
cp "$root.made" "$out.partial/made"
mv "$out.partial" "$out"
echo "build.sh: made $out"
