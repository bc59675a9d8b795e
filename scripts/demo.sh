#!/usr/bin/env bash
# Sets up the machine, builds the driver and the camera simulator, and runs
# the project's main job: a host loads the driver library like a recorder
# does, opens it for a simulated MJPEG camera, captures five seconds of
# pictures into build/demo/capture.mjpeg and prints what the driver reported.
# ffprobe then describes the captured file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --no-windows
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target wrenfield wrenfield-smoke wrenfield-camsim

mkdir -p build/demo
camsim_out=build/demo/camsim.json
build/default/tools/camsim/wrenfield-camsim --codec mjpeg --size 640x480 --fps 25 >"$camsim_out" &
camsim_pid=$!
trap 'kill $camsim_pid 2>/dev/null || true; wait $camsim_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do grep -q http_port "$camsim_out" 2>/dev/null && break; sleep 0.1; done
http_port=$(sed -n 's/.*"http_port": *\([0-9]*\).*/\1/p' "$camsim_out")
echo "simulated camera on 127.0.0.1:$http_port"

build/default/tools/smoke/wrenfield-smoke --model HLC_15AG --address 127.0.0.1 --port "$http_port" \
    --stream-type 1 --capture 5 --size 640x480 --output build/demo/capture.mjpeg "$@"
ffprobe -v error -f mjpeg -count_frames -select_streams v:0 \
    -show_entries stream=codec_name,width,height,nb_read_frames -of default=noprint_wrappers=1 \
    build/demo/capture.mjpeg
