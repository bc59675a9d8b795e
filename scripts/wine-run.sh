#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests of the Windows build:
# a private, quiet prefix under build/windows (no dependence on $HOME), and no
# display, so that it works the same on a desktop and on a headless CI host.
# Usage: scripts/wine-run.sh program.exe [arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WRENFIELD_WINEPREFIX:-$root/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH="${WRENFIELD_WINEARCH:-win32}"
# No graphical driver and no prompt to install Mono or Gecko.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$(dirname "$WINEPREFIX")"
exec "${WRENFIELD_WINE:-wine}" "$@"
