#!/usr/bin/env bash
# Sets up the machine, builds the driver, the host and the camera simulator,
# and runs the demo: wrenfield-host starts a simulated camera, probes it,
# captures H.264 over RTSP and MJPEG over HTTP into build/demo, runs a PTZ
# preset round trip and says where the files are. ffprobe then describes
# the captured files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --no-windows
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target wrenfield wrenfield-host wrenfield-camsim

rm -rf build/demo
build/default/tools/host/wrenfield-host demo --out build/demo "$@"

echo
echo "== ffprobe"
for file in build/demo/h264-rtsp/input0.h264:h264 build/demo/mjpeg-http/input0.mjpeg:mjpeg; do
    printf '%s: ' "${file%%:*}"
    ffprobe -v error -f "${file##*:}" -count_frames -select_streams v:0 \
        -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "${file%%:*}"
done
