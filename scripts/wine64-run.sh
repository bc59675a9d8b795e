#!/usr/bin/env bash
# Runs one 64-bit Windows program under Wine: the 64-bit build runs the same
# Win32 platform code as the 32-bit library, also on machines whose kernel
# cannot start 32-bit programs. Same quiet, private set-up as wine-run.sh.
# Usage: scripts/wine64-run.sh program.exe [arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WRENFIELD_WINEPREFIX="${WRENFIELD_WINE64PREFIX:-$root/build/windows64/wineprefix}"
export WRENFIELD_WINEARCH=win64
export WRENFIELD_WINE=wine64
command -v wine64 >/dev/null 2>&1 || WRENFIELD_WINE=/usr/lib/wine/wine64
exec "$root/scripts/wine-run.sh" "$@"
