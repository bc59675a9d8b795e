#!/usr/bin/env bash
# Installs the Debian packages the build, the simulator and the tests need,
# only when some are missing, so that a fresh machine needs no manual step.
# Usage: scripts/setup-deps.sh [--no-windows]
set -euo pipefail

want_windows=1
for arg in "$@"; do
    case "$arg" in
        --no-windows) want_windows=0 ;;
    esac
done

packages=(
    cmake ninja-build ccache g++ pkg-config git ca-certificates
    libgtest-dev libgmock-dev libbenchmark-dev
    libcurl4-openssl-dev libpugixml-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
    gstreamer1.0-libav gstreamer1.0-tools
    libcpp-httplib-dev ffmpeg curl
    clang libclang-rt-dev
)
if [[ $want_windows == 1 ]]; then
    # GoogleTest is built from its sources for the cross build.
    packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine32:i386 wine64)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

# When a lagging mirror could not give the 32-bit Wine, asking again on every
# run costs four index downloads and half a minute of waiting before the same
# refusal. Within a few hours of a refusal, and when nothing else is missing,
# the run goes on without it at once (the Windows stage still says loudly that
# its 32-bit tests are skipped). WRENFIELD_RETRY_WINE32=1 asks the mirror anyway.
wine32_refused="${XDG_CACHE_HOME:-$HOME/.cache}/wrenfield/wine32-refused"
only_i386=1
for p in "${missing[@]}"; do [[ $p == *:i386 ]] || only_i386=0; done
if [[ $only_i386 == 1 && ${WRENFIELD_RETRY_WINE32:-0} != 1 ]] &&
    [[ -n $(find "$wine32_refused" -mmin -360 2>/dev/null) ]]; then
    echo "!! setup-deps: the mirror refused the 32-bit Wine packages at $(date -r "$wine32_refused" +%H:%M);" >&2
    echo "!! setup-deps: not asking again before six hours have passed (WRENFIELD_RETRY_WINE32=1 asks now)" >&2
    exit 0
fi

echo "setup-deps: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
if [[ $want_windows == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails one index now and serves it a moment later:
# try again a few times, then go on with whatever indexes arrived, and let
# the install itself say whether a package is really out of reach.
for attempt in 1 2 3 4; do
    if $SUDO apt-get update -q; then break; fi
    echo "setup-deps: apt-get update failed (attempt $attempt of 4)" >&2
    [[ $attempt -lt 4 ]] && sleep $((attempt * 5))
done
install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"; }
if install "${missing[@]}"; then exit 0; fi
# The 32-bit Wine packages must match their 64-bit twins version for version;
# a mirror whose i386 index lags behind cannot give both. Everything else
# still installs, and the Windows stage runs its 64-bit Wine tests and says
# loudly that the 32-bit ones were skipped.
if [[ $want_windows == 1 ]]; then
    rest=()
    for p in "${missing[@]}"; do [[ $p == *:i386 ]] || rest+=("$p"); done
    echo "!! setup-deps: the 32-bit Wine packages cannot be installed from this mirror;" >&2
    echo "!! setup-deps: installing the rest, and the 32-bit Wine tests will be skipped" >&2
    if [[ ${#rest[@]} -gt 0 ]]; then install "${rest[@]}"; fi
    mkdir -p "$(dirname "$wine32_refused")" && touch "$wine32_refused"
    exit 0
fi
exit 1
