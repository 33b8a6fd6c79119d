# Sourced: apt-get with retries, and one line naming what could not be had.

# apt_update [APT-GET PREFIX...]: apt-get update, tried up to three times,
# since a mirror in sync answers for a while with indexes that do not match.
apt_update() {
  local try
  for try in 1 2 3; do
    "$@" apt-get update -qq && return 0
    [ "$try" -eq 3 ] || sleep "${APT_RETRY_PAUSE:-5}"
  done
  return 1
}

# apt_install WHO PACKAGES: installs the packages (through $APT_IN, a command
# prefix such as a chroot, when set) or names the first it could not get and
# why, in one line on stderr.
apt_install() {
  local who=$1 log
  shift
  log=$(mktemp)
  # shellcheck disable=SC2086  # APT_IN is a command prefix
  if ! apt_update ${APT_IN:-} >"$log" 2>&1; then
    echo "$who: could not get $*: apt-get update failed three times ($(apt_reason "$log"))" >&2
    rm -f "$log"; return 1
  fi
  # shellcheck disable=SC2086
  if ! DEBIAN_FRONTEND=noninteractive ${APT_IN:-} apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    echo "$who: could not get $(apt_culprit "$log" "$@"): $(apt_reason "$log")" >&2
    rm -f "$log"; return 1
  fi
  rm -f "$log"
}

# The package apt names in its errors, else the whole list.
apt_culprit() {
  local log=$1 p
  shift
  for p in "$@"; do
    grep -q -- " ${p%%:*}\( \|:\|\$\)" "$log" && { echo "$p"; return; }
  done
  echo "$*"
}

# apt's first error, on one line.
apt_reason() {
  local line
  line=$(grep -m1 -E '^(E|Err|W):' "$1" || tail -n1 "$1")
  echo "${line:-no message}" | tr -s ' \t' ' '
}
