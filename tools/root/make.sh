#!/usr/bin/env bash
# Usage: tools/root/make.sh ROOT  -- makes ROOT, a Debian root from Debian's archive that
# carries 32-bit Wine and what the shipped build's tests run there; once per package list.
set -euo pipefail
[ $# -eq 1 ] || { sed -n 2,3p "$0" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/apt.sh"
root=$(realpath -m "$1")
release=${SETUP_ROOT_RELEASE:-$(. /etc/os-release && echo "$VERSION_CODENAME")}

# The kernel and its initramfs are for the guest; entered directly, they are not used.
packages="wine wine64 wine32:i386 cmake xvfb xauth osslsigncode linux-image-amd64"
stamp="$release: $packages"
if [ "$(cat "$root.made" 2>/dev/null)" = "$stamp" ] && [ -d "$root" ]; then
  echo "make.sh: reusing $root (remove $root.made to make it again)"
  exit 0
fi

missing=()
for p in debootstrap; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt_install make.sh "${missing[@]}"

# The root takes its packages from where this machine's apt takes Debian's.
mirror=$(awk '$1 == "URIs:" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "make.sh: no Debian archive in this machine's apt sources" >&2; exit 2; }
security=$(awk '$1 == "URIs:" && $2 ~ /security/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$security" ] || security=$(awk '$1 == "deb" && $2 ~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)

work=$root.partial
unmount() { for m in "$work/sys" "$work/proc"; do ! mountpoint -q "$m" || umount "$m"; done; }
# --one-file-system: a mount left behind by a failed step must not be emptied with the root.
trap 'unmount; rm -rf --one-file-system "$work" "$work.log"' EXIT
unmount; rm -rf --one-file-system "$work"
mkdir -p "$(dirname "$root")"
echo "make.sh: making $root ($release from $mirror)"
if ! debootstrap --variant=minbase --arch=amd64 "$release" "$work" "$mirror" >"$work.log" 2>&1; then
  echo "make.sh: could not make the root: debootstrap failed ($(apt_reason "$work.log"))" >&2
  exit 1
fi
chmod 755 "$work"  # apt downloads as _apt, which must reach the cache inside
mount -t proc proc "$work/proc"
mount -t sysfs sys "$work/sys"
APT_IN="chroot $work /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C"

sources() {
  echo "deb $mirror $release main"
  echo "deb $mirror $release-updates main"
  [ -z "${1:-}" ] || echo "deb $1 $release-security main"
}
# Set before the kernel arrives, so that even its first initramfs skips the hardware scan;
# there is no udev after the switch to the root, so what the guest needs is loaded early.
mkdir -p "$work/etc/initramfs-tools/conf.d"
echo MODULES=list > "$work/etc/initramfs-tools/conf.d/guest"
printf '%s\n' virtio_pci virtio_blk virtio_net 9p 9pnet 9pnet_virtio ext4 > "$work/etc/initramfs-tools/modules"
$APT_IN dpkg --add-architecture i386

# Security updates reach one architecture before the other now and then; where the two
# do not agree, the main and updates suites alone still install cleanly.
# shellcheck disable=SC2086  # a list of package names
if [ -z "$security" ] || ! { sources "$security" > "$work/etc/apt/sources.list"; apt_install make.sh $packages 2>"$work.log"; }; then
  [ -z "$security" ] || echo "make.sh: without $release-security ($(cat "$work.log"))"
  sources > "$work/etc/apt/sources.list"
  apt_install make.sh $packages
fi
$APT_IN apt-get clean
rm -rf "$work"/var/lib/apt/lists/*
unmount
rm -f "$work.log" "$root.made"
# The prefixes of an older Wine go with it.
rm -rf --one-file-system "$root" "$root.prefixes"
mv "$work" "$root"
echo "$stamp" > "$root.made"
echo "make.sh: made $root"
