# Sourced by the scripts that run the Windows build under Wine. One prefix
# beside the Windows build, quiet, and without the Mono and Gecko installs
# that a new prefix would otherwise ask for. Matches the windows test preset.
corv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$corv_root/build/windows/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY  # console programs only; no window may open
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
