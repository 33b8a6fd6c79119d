# Sourced: which way into the project's Debian root (tools/root/make.sh) this
# machine allows. The shipped build's tests run 32-bit Wine, an i386 program:
# where the kernel runs those the root is entered directly, otherwise it is
# booted as a guest under qemu.

# kernel_runs_i386: whether this kernel executes an i386 program: a static one
# of 96 bytes that only exits with 42.
kernel_runs_i386() {
  local probe rc=0
  probe=$(mktemp)
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' > "$probe"
  chmod 700 "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

# choose_route RUNS_I386 REQUEST: sets ROUTE to direct or guest and prints the
# one line that says which and why. RUNS_I386 is yes or no; REQUEST is
# SETUP_ROUTE's value: empty (this kernel decides), direct or guest.
choose_route() {
  local runs=$1 request=$2 who=${3:-route}
  case "$request:$runs" in
    :yes | direct:yes)
      ROUTE=direct
      echo "$who: this kernel runs i386 programs; the shipped build runs in the Debian root, entered directly" ;;
    :no)
      ROUTE=guest
      echo "$who: this kernel does not run i386 programs; the shipped build runs in the Debian root, booted as a guest under qemu" ;;
    direct:no)
      ROUTE=guest
      echo "$who: SETUP_ROUTE=direct, but this kernel does not run i386 programs; taking the guest under qemu" ;;
    guest:*)
      ROUTE=guest
      echo "$who: SETUP_ROUTE=guest; the shipped build runs in the Debian root, booted as a guest under qemu" ;;
    *)
      echo "$who: SETUP_ROUTE is '$request'; it takes direct, guest or nothing" >&2
      return 2 ;;
  esac
}

# x86_route ROUTE FIRST: how the shipped build's tests enter a root: by ROUTE
# when it is the first root (FIRST is yes); a further root only directly, since
# only the first is booted as a guest. Prints direct, guest or none.
x86_route() {
  case "$1:$2" in
    *:yes) echo "$1" ;;
    direct:no) echo direct ;;
    *) echo none ;;
  esac
}

# in_root ROUTE ROOT COMMAND...: runs COMMAND in the repository inside the
# root, which sees the repository at its own path. On the guest route the
# guest's disk is made from the root when needed. ROOT_PREFIXES: folders of
# the repository that hold Wine prefixes, which each root has of its own, so
# that two Wines never share one: entered directly, kept beside the root and
# warm from run to run; in the guest, on a tmpfs (on the share, Wine's first
# start takes minutes).
in_root() {
  local route=$1 root
  root=$(realpath "$2")
  shift 2
  if [ "$route" = direct ]; then
    local repo d binds=()
    repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    for d in ${ROOT_PREFIXES:-}; do
      d=$(realpath -m "$d")
      mkdir -p "$d" "$root.prefixes$d"
      binds+=(--bind "$root.prefixes$d" "$d")
    done
    # ctest runs the modules of the CMake that configured the build, which a
    # root of another Debian release does not carry.
    for d in /usr/share/cmake-*; do
      [ -d "$root$d/Modules" ] || binds+=(--ro-bind "$d" "$d")
    done
    bwrap --bind "$root" / --dev-bind /dev /dev --proc /proc --tmpfs /tmp --bind "$repo" "$repo" "${binds[@]}" \
          --chdir "$repo" --die-with-parent \
          /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 "$@"
  else
    bash "$(dirname "${BASH_SOURCE[0]}")/../guest/build.sh" "$root" &&
      GUEST_TMPFS=${ROOT_PREFIXES:-} bash "$(dirname "${BASH_SOURCE[0]}")/../guest/run.sh" "$root" "$@"
  fi
}
