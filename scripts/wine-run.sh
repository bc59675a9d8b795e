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

# The first program on a prefix starts the Wine server, and programs start
# Wine's services (rpcss, explorer, ...) on demand; all of them inherit that
# program's standard output and error and live until the last Wine program of
# the prefix has ended. Whoever reads that output to its end (ctest, a
# command substitution) would wait for every other program on the prefix, so
# two test programs started side by side would each last as long as both.
# The program writes into files instead, and its output follows once it ended.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"${WRENFIELD_WINE:-wine}" "$@" >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit "$status"
