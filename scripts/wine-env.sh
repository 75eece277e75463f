# Sourced by the scripts that run the Windows build under Wine. One prefix
# beside the Windows build, quiet, and without the Mono and Gecko installs
# that a new prefix would otherwise ask for. Matches the windows test preset.
corv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$corv_root/build/windows/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
unset DISPLAY WAYLAND_DISPLAY  # console programs only; no window may open
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Makes the prefix ready for a program: sets it up once, and starts its
# server when none runs. Both happen under a lock, so programs that start at
# the same moment wait for the first one to do it; a marker says that the
# prefix is set up.
#
# The first program of a new server starts Wine's system processes, which
# inherit that program's standard streams and keep them open until the
# server ends; whoever waits for the program's output (ctest, a pipe) would
# wait that long too. So a new server is booted here, with no streams, and
# kept up for a minute after its last program.
wine_ready() {
  local marker=$WINEPREFIX/.corvantilhub-ready
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    # Nothing started here may inherit the lock (9>&-): a server that held
    # it would keep every later program waiting for as long as it runs.
    if "$WINESERVER" -p60 </dev/null >/dev/null 2>&1 9>&-; then  # fails when one runs
      if [ -e "$marker" ]; then
        timeout 300 "$WINE" wineboot </dev/null >/dev/null 2>&1 9>&- || exit 1
      fi
    fi
    if [ ! -e "$marker" ]; then
      # The first start of a prefix takes some seconds.
      timeout 300 "$WINE" wineboot -i </dev/null >/dev/null 2>&1 9>&- || exit 1
      touch "$marker"
    fi
  ) 9>"$WINEPREFIX/.corvantilhub-lock"
}
