#!/usr/bin/env bash
# Builds the 32-bit Windows driver (Wrenfield.dll), its unit tests and the
# C host, and runs them under Wine through ctest. The same sources are also
# built for 64-bit Windows and their tests run under 64-bit Wine, which works
# on kernels that cannot start 32-bit programs: the Win32 platform code
# (threads, events, WinHTTP, Winsock) is exercised on every machine.
#
# The Wine prefix lives in build/windows/wineprefix, so a run never depends on
# the state of $HOME; it is created once (wineboot) and reused. No display is
# needed: the tests are console programs.
#
# Usage: scripts/test-windows.sh [--build-only]
#   --build-only  configures and builds both Windows builds, runs nothing
# WRENFIELD_REQUIRE_WINE=1 makes a machine that cannot run 32-bit programs
# (a kernel without 32-bit support) an error instead of a loud skip.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${WRENFIELD_JOBS:-$(nproc 2>/dev/null || echo 2)}
build_only=0
[[ ${1:-} == --build-only ]] && build_only=1
export WINEDEBUG=-all
export WRENFIELD_WINEPREFIX="$PWD/build/windows/wineprefix"

# Debian's wine command falls back to the 64-bit loader when the 32-bit one
# is not installed, so "wine --version" alone does not prove a 32-bit Wine.
wine32=1
if [[ -x /usr/lib/wine/wine64 && ! -x /usr/lib/wine/wine ]]; then
    echo "!! windows: the 32-bit Wine loader is not installed (wine32:i386 could not"
    echo "!! be installed here); the 32-bit Wine tests will NOT run."
    wine32=0
elif ! wine --version >/dev/null 2>&1; then
    echo "!! windows: this machine cannot start the 32-bit Wine loader (no 32-bit"
    echo "!! program support in its kernel); the 32-bit Wine tests will NOT run."
    wine32=0
fi

echo "== windows: configure, build"
cmake --preset windows >/dev/null
if [[ $wine32 == 1 ]]; then
    cmake --build --preset windows -j "$jobs"
else
    # Nothing 32-bit can run here: build the product and the C host, whose
    # compile is itself a check of the headers, and leave the test programs
    # to the 64-bit build of the same sources.
    cmake --build --preset windows -j "$jobs" --target wrenfield wf_host_layout_test
fi

echo "== windows64: configure, build"
cmake --preset windows64 >/dev/null
cmake --build --preset windows64 -j "$jobs"
if [[ $build_only == 1 ]]; then exit 0; fi

echo "== windows: checks of the DLL"
ctest --preset windows -LE wine

echo "== windows64: tests under 64-bit Wine"
# The prefix is made once before the test programs start side by side, so
# that they never race to create it.
wine64_prefix=${WRENFIELD_WINE64PREFIX:-$PWD/build/windows64/wineprefix}
if [[ ! -f $wine64_prefix/system.reg ]]; then
    scripts/wine64-run.sh wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$wine64_prefix wineserver -w 2>/dev/null || true
fi
start=$(date +%s)
# Each test program is one Wine process. They run side by side: the end-to-end
# program waits on the simulators and on time-outs most of its run, and the
# unit tests fit into that wait. wine-run.sh keeps a program's output apart
# from the Wine server and services it starts, so that no program waits for
# the others to end.
wine_jobs=$(( jobs > 3 ? jobs : 3 ))
ctest --preset windows64 -j "$wine_jobs"
echo "   64-bit Wine tests: $(( $(date +%s) - start )) s"

if [[ $wine32 == 0 ]]; then
    if [[ ${WRENFIELD_REQUIRE_WINE:-0} == 1 ]]; then exit 1; fi
    exit 0
fi

if [[ ! -f $WRENFIELD_WINEPREFIX/system.reg ]]; then
    echo "== windows: creating the Wine prefix"
    start=$(date +%s)
    scripts/wine-run.sh wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$WRENFIELD_WINEPREFIX wineserver -w 2>/dev/null || true
    echo "   first Wine start: $(( $(date +%s) - start )) s"
fi

echo "== windows: tests under Wine"
start=$(date +%s)
ctest --preset windows -L wine -j "$wine_jobs"
echo "   Wine tests: $(( $(date +%s) - start )) s"
