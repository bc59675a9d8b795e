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
    cmake ninja-build g++ pkg-config git ca-certificates
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
    install "${rest[@]}"
    exit 0
fi
exit 1
