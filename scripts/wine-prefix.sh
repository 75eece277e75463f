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
  [ -d "$WINEPREFIX" ] && "$WINESERVER" -k 2>/dev/null || true
  [ -d "$WINEPREFIX" ] && timeout 60 "$WINESERVER" -w 2>/dev/null || true
}

case "${1:-}" in
  fresh)
    stop_server
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINESERVER" -p
    # The first start of a prefix sets it up, which takes some seconds.
    if ! timeout 300 "$WINE" wineboot -i >/dev/null 2>&1; then
      echo "could not set up the Wine prefix $WINEPREFIX" >&2
      exit 1
    fi
    ;;
  stop)
    stop_server
    ;;
  *)
    sed -n '4,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
