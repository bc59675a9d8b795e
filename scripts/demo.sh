#!/usr/bin/env bash
# Sets up the machine, builds the driver and runs the project's main job: a
# host that loads the driver library, opens it for a device and prints the
# messages the driver sends it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --no-windows
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target wrenfield wrenfield-smoke
exec build/default/tools/smoke/wrenfield-smoke --model HLC_15AG --address 127.0.0.1 --port 80 "$@"
