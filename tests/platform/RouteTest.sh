#!/usr/bin/env bash
# RouteTest.sh CASE: the way into the Debian root, and the install steps' one-line failures.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/root/route.sh"
. "$here/../../tools/root/apt.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_one_line WHAT TEXT PATTERN: TEXT is one line that matches PATTERN.
expect_one_line() {
  [ "$(printf '%s\n' "$2" | wc -l)" -eq 1 ] && [ -n "$2" ] || fail "$1: not one line: '$2'"
  [[ $2 =~ $3 ]] || fail "$1: '$2' does not match '$3'"
}

choice() {
  # runs i386 | SETUP_ROUTE | route | rc | the line
  while IFS='|' read -r runs request route rc pattern; do
    local out got=0
    ROUTE=unset
    out=$(choose_route "$runs" "$request" test 2>&1; echo "rc=$?")
    got=${out##*rc=}
    out=${out%rc=*}
    out=${out%$'\n'}
    [ "$got" = "$rc" ] || fail "$runs/$request: status $got, not $rc"
    expect_one_line "$runs/$request" "$out" "$pattern"
    if [ "$rc" = 0 ]; then
      choose_route "$runs" "$request" test >/dev/null
      [ "$ROUTE" = "$route" ] || fail "$runs/$request: route $ROUTE, not $route"
    fi
  done <<'TABLE'
yes||direct|0|^test: this kernel runs i386 programs; .* directly$
no||guest|0|^test: this kernel does not run i386 programs; .* guest under qemu$
yes|guest|guest|0|^test: SETUP_ROUTE=guest; .* guest under qemu$
no|guest|guest|0|^test: SETUP_ROUTE=guest; 
yes|direct|direct|0|^test: this kernel runs i386 programs; 
no|direct|guest|0|^test: SETUP_ROUTE=direct, but this kernel does not run i386 programs; taking the guest under qemu$
yes|chroot||2|^test: SETUP_ROUTE is 'chroot'; it takes direct, guest or nothing$
TABLE
}

# A further root is never booted: where the first went to the guest, its x86 suite does not run.
later_roots() {
  # route | first root | how its x86 suite enters
  while IFS='|' read -r route first expected; do
    local got
    got=$(x86_route "$route" "$first")
    [ "$got" = "$expected" ] || fail "$route/$first: $got, not $expected"
  done <<'TABLE'
direct|yes|direct
guest|yes|guest
direct|no|direct
guest|no|none
TABLE
}

# A fake apt-get on PATH: FAKE_UPDATES lists the outcome of each update in turn (ok or fail),
# FAKE_INSTALL says how the install ends (ok, or the error line apt prints).
fake_apt() {
  bin=$(mktemp -d)
  trap 'rm -rf "$bin"' RETURN
  cat > "$bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
n=$(cat "$FAKE_COUNT" 2>/dev/null || echo 0)
case "$1" in
  update)
    echo $((n + 1)) > "$FAKE_COUNT"
    outcome=$(echo "$FAKE_UPDATES" | cut -d' ' -f$((n + 1)))
    [ "$outcome" = ok ] && exit 0
    echo "E: Failed to fetch http://archive/dists/x/InRelease  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    exit 100 ;;
  install)
    [ "$FAKE_INSTALL" = ok ] && exit 0
    echo "Reading package lists..."
    echo "$FAKE_INSTALL"
    exit 100 ;;
esac
FAKE
  chmod +x "$bin/apt-get"
  export FAKE_COUNT=$bin/count
  local out rc=0
  out=$(PATH=$bin:$PATH APT_RETRY_PAUSE=0 apt_install test-deps "$@" 2>&1) || rc=$?
  echo "$rc|$(cat "$FAKE_COUNT")|$out"
}

install() {
  # updates | install | status | updates tried | the line ('' for none)
  while IFS='|' read -r updates install rc tries pattern; do
    local got
    got=$(FAKE_UPDATES=$updates FAKE_INSTALL=$install fake_apt wine64 nsis)
    IFS='|' read -r got_rc got_tries got_out <<<"$got"
    [ "$got_rc" = "$rc" ] || fail "$updates/$install: status $got_rc, not $rc"
    [ "$got_tries" = "$tries" ] || fail "$updates/$install: $got_tries updates, not $tries"
    if [ -z "$pattern" ]; then
      [ -z "$got_out" ] || fail "$updates/$install: said '$got_out'"
    else
      expect_one_line "$updates/$install" "$got_out" "$pattern"
    fi
  done <<'TABLE'
ok|ok|0|1|
fail fail ok|ok|0|3|
fail fail fail|ok|1|3|^test-deps: could not get wine64 nsis: apt-get update failed three times \(E: Failed to fetch .*Mirror sync in progress\?\)$
ok|E: Unable to locate package nsis|1|1|^test-deps: could not get nsis: E: Unable to locate package nsis$
ok|E: Unable to correct problems, you have held broken packages.|1|1|^test-deps: could not get wine64 nsis: E: Unable to correct problems, you have held broken packages.$
TABLE
}

# The probe agrees with the root's own 32-bit Wine, where there is one.
probe() {
  [ -x /usr/lib/wine/wine ] || { echo "no 32-bit Wine here"; return; }
  local wine=no probe=no
  /usr/lib/wine/wine --version >/dev/null 2>&1 && wine=yes
  kernel_runs_i386 && probe=yes
  [ "$wine" = "$probe" ] || fail "the probe says $probe, 32-bit Wine says $wine"
  echo "kernel runs i386 programs: $probe"
}

"$1"
[ "$failures" -eq 0 ] || exit 1
echo "$1: passed"
