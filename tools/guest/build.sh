#!/usr/bin/env bash
# Usage: tools/guest/build.sh BUILD_DIR  -- makes BUILD_DIR/guest (root.img, vmlinuz, initrd.img) for run.sh, once.
set -euo pipefail
[ $# -eq 1 ] || { sed -n 2p "$0" >&2; exit 2; }
out=$(realpath "$1")/guest
here=$(cd "$(dirname "$0")" && pwd)
# The guest takes its packages from where this machine's apt takes Debian's.
mirror=$(awk '$1 == "URIs:" && $2 ~ /\/debian$/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || { echo "build.sh: no Debian archive in this machine's apt sources" >&2; exit 2; }

# What the shipped build's tests run there; a guest made with another list is made again.
packages="linux-image-amd64 wine wine64 wine32:i386 cmake xvfb xauth osslsigncode"
if [ -f "$out/root.img" ] && [ -f "$out/vmlinuz" ] && [ -f "$out/initrd.img" ] &&
   [ "$(cat "$out/packages" 2>/dev/null)" = "$packages" ]; then
  echo "build.sh: reusing $out (remove it to rebuild)"
  exit 0
fi

missing=()
for p in debootstrap qemu-system-x86 e2fsprogs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

root=$(mktemp -d /tmp/guest-root.XXXXXX)
chmod 755 "$root"  # apt downloads as _apt, which must reach the cache inside
unmount() { for m in "$root/sys" "$root/proc"; do ! mountpoint -q "$m" || umount "$m"; done; }
# --one-file-system: a mount left behind by a failed step must not be emptied with the root.
trap 'unmount; rm -rf --one-file-system "$root"' EXIT
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C DEBIAN_FRONTEND=noninteractive "$@"; }

debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror"
# The same sources as this machine's, security updates included.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  rm -f "$root/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
else
  grep -E '^deb ' /etc/apt/sources.list > "$root/etc/apt/sources.list"
fi
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"

# Set before the kernel arrives, so that even its first initramfs skips the hardware scan.
mkdir -p "$root/etc/initramfs-tools/conf.d"
echo MODULES=list > "$root/etc/initramfs-tools/conf.d/guest"
in_root dpkg --add-architecture i386
in_root apt-get update -qq
# shellcheck disable=SC2086  # a list of package names
in_root apt-get install -y -qq --no-install-recommends $packages
# There is no udev after the switch to the root: what the guest needs must already be loaded.
printf '%s\n' virtio_pci virtio_blk virtio_net 9p 9pnet 9pnet_virtio ext4 > "$root/etc/initramfs-tools/modules"
in_root update-initramfs -u -k all
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/*
install -m 755 "$here/guest-init" "$root/guest-init"
unmount

rm -rf "$out" "$out.partial"
mkdir -p "$out.partial"
cp "$root"/boot/vmlinuz-* "$out.partial/vmlinuz"
cp "$root"/boot/initrd.img-* "$out.partial/initrd.img"
mkfs.ext4 -q -d "$root" -F "$out.partial/root.img" 4G
echo "$packages" > "$out.partial/packages"
mv "$out.partial" "$out"
echo "build.sh: made $out"
