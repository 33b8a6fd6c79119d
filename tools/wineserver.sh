#!/usr/bin/env bash
# wineserver.sh start|stop LOADER SERVER: a persistent wineserver for a test run.
# WINEPREFIX names the prefix; it is created on first use.
set -eu
action=$1 loader=$2 server=$3
case "$action" in
  start)
    # The server refuses a prefix that does not exist yet; without it every program would start
    # a server of its own and wait for it to go.
    mkdir -p "$WINEPREFIX"
    # Detached from our output, or ctest would wait for the daemon to close it.
    "$server" -p </dev/null >/dev/null 2>&1 || true  # already running is fine
    # Creates or updates the prefix once, before the tests race for it.
    "$loader" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    "$server" -k || true
    ;;
esac
