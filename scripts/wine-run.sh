#!/usr/bin/env bash
# Runs one Windows program under Wine; the cross build's emulator, so ctest
# runs the test programs (and lists their cases) through it.
#
# Sets the prefix up and starts its server first (see wine_ready).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_ready || { echo "could not set up the Wine prefix $WINEPREFIX" >&2; exit 1; }
exec "$WINE" "$@"
