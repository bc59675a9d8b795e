#!/usr/bin/env bash
# The SDK as a recorder vendor gets it: installs the default build into
# build/install, builds the example host outside the tree against it (with
# find_package and with pkg-config), and lets both capture a few pictures
# from the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix="$PWD/build/install"
rm -rf "$prefix" build/minimal-host
cmake --install build/default --prefix "$prefix" >/dev/null

echo "== sdk: example host with find_package(Wrenfield)"
cmake -S examples/minimal-host -B build/minimal-host -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/minimal-host >/dev/null

echo "== sdk: the same host with pkg-config"
export PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name wrenfield.pc | head -n 1)")"
libdir=$(pkg-config --variable=libdir wrenfield)
# shellcheck disable=SC2046
c++ -std=c++20 -o build/minimal-host/minimal-host-pc examples/minimal-host/main.cpp \
    $(pkg-config --cflags wrenfield) -DWRENFIELD_LIBRARY="\"$libdir/libwrenfield.so\"" -ldl -pthread
echo "   pkg-config $(pkg-config --modversion wrenfield): $(pkg-config --cflags --libs wrenfield)"

out=$(mktemp)
build/default/tools/camsim/wrenfield-camsim --codec mjpeg --size 320x240 >"$out" &
camsim=$!
trap 'kill $camsim 2>/dev/null || true; wait $camsim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 1 100); do grep -q http_port "$out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.*"http_port": *\([0-9]*\).*/\1/p' "$out")
for host in build/minimal-host/minimal-host build/minimal-host/minimal-host-pc; do
    "$host" 127.0.0.1 "$port" 10 | tail -n 1
done
echo "== sdk: the installed package builds hosts that capture"
