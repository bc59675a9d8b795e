#!/usr/bin/env bash
# Runs one 64-bit Windows program under Wine for the tests of the 64-bit
# Windows build: a private, quiet prefix under build/windows64 and no display.
# The 64-bit build runs the same Win32 platform code as the 32-bit library, on
# machines whose kernel cannot start 32-bit programs (and so no 32-bit Wine).
# Usage: scripts/wine64-run.sh program.exe [arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WRENFIELD_WINE64PREFIX:-$root/build/windows64/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$(dirname "$WINEPREFIX")"
wine64=wine64
command -v wine64 >/dev/null 2>&1 || wine64=/usr/lib/wine/wine64
exec "$wine64" "$@"
