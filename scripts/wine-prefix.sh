#!/usr/bin/env bash
# Manages the Wine prefix that the Windows tests run in (build/windows/wineprefix
# unless WINEPREFIX says otherwise).
#   scripts/wine-prefix.sh fresh   make a new prefix and keep its server running,
#                                  so that each test program starts quickly
#   scripts/wine-prefix.sh stop    end every program still running in the prefix,
#                                  and its server
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

stop_server() {
  # -k ends only the server (and programs) of this WINEPREFIX.
  [ -d "$WINEPREFIX" ] || return 0
  "$WINESERVER" -k 2>/dev/null || true
  timeout 60 "$WINESERVER" -w 2>/dev/null || true
}

case "${1:-}" in
  fresh)
    stop_server
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    wine_ready || { echo "could not set up the Wine prefix $WINEPREFIX" >&2; exit 1; }
    ;;
  stop)
    stop_server
    ;;
  *)
    sed -n '4,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
