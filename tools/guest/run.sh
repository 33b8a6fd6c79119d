#!/usr/bin/env bash
# Usage: tools/guest/run.sh ROOT COMMAND...  -- boots ROOT.guest (build.sh) and runs COMMAND in the
# repository inside it; exits with its status. GUEST_TMPFS: folders of the repository that the guest
# keeps on a tmpfs of its own (Wine prefixes: on the share, Wine's first start takes minutes).
set -euo pipefail
[ $# -ge 2 ] || { sed -n 2,4p "$0" >&2; exit 2; }
guest=$(realpath "$1").guest
shift
repo=$(cd "$(dirname "$0")/../.." && pwd)
for f in root.img vmlinuz initrd.img; do
  [ -f "$guest/$f" ] || { echo "run.sh: no $guest/$f; run tools/guest/build.sh first" >&2; exit 2; }
done

# The command and its status travel through a share of their own, so the tree stays untouched.
ctl=$(mktemp -d /tmp/guest-run.XXXXXX)
trap 'rm -rf "$ctl"' EXIT
# One tmpfs holds all of a suite's prefixes, about 1.3 GB each: up to three quarters of the memory.
for d in ${GUEST_TMPFS:-}; do
  printf 'mkdir -p %q && mount -t tmpfs -o size=75%% prefixes %q\n' "$(realpath -m "$d")" "$(realpath -m "$d")"
done > "$ctl/cmd"
printf '%q ' "$@" >> "$ctl/cmd"
echo >> "$ctl/cmd"

# TCG only: this machine's /dev/kvm is nested in software and never got a kernel booted.
# qemu's own lock on root.img keeps a second guest off the same image; a guest that
# panics reboots, which -no-reboot turns into qemu's exit.
rc=0
timeout "${GUEST_TIMEOUT:-3600}" qemu-system-x86_64 -accel tcg,thread=multi -m 8G -smp 2 -nographic -nic none -no-reboot \
  -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
  -drive file="$guest/root.img",format=raw,if=virtio,snapshot=on \
  -virtfs local,path="$repo",mount_tag=work,security_model=none \
  -virtfs local,path="$ctl",mount_tag=ctl,security_model=none \
  -append "root=/dev/vda rw console=ttyS0 init=/guest-init quiet panic=1 guest.work=$repo" </dev/null || rc=$?
if [ ! -s "$ctl/status" ]; then
  echo "run.sh: the guest ended (qemu status $rc) without recording the command's status" >&2
  exit 125
fi
exit "$(cat "$ctl/status")"
