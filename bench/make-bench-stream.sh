#!/usr/bin/env bash
# Makes the H.264 stream the whole-stream benchmark serves from the simulator
# (wrenfield-camsim --h264-file): 1920x1080, 25 pictures/s, about 4 Mbit/s, a
# key picture every 2 s, no B pictures (as the cameras send), SPS and PPS before
# every key picture, one slice per picture, as an Annex B byte stream encoded by x264 in GStreamer.
#
#   bench/make-bench-stream.sh [OUTPUT] [SECONDS]
#
# OUTPUT defaults to build/bench/stream-1080p25.h264, SECONDS to 12 (six key
# intervals). An existing file is kept unless it is older than this script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/bench/stream-1080p25.h264}"
seconds="${2:-12}"
if [[ -s "$out" && "$out" -nt "$0" ]]; then
    echo "$out"
    exit 0
fi
mkdir -p "$(dirname "$out")"
fps=25
frames=$((seconds * fps))
# Moving colour bars under a band of noise keep x264 busy enough that its rate
# control, not the picture, sets the bit rate; the noise changes every picture.
gst-launch-1.0 -q \
    videotestsrc num-buffers="$frames" pattern=smpte horizontal-speed=6 \
    ! "video/x-raw,format=I420,width=1920,height=1080,framerate=$fps/1" \
    ! compositor name=mix sink_1::ypos=760 \
    ! x264enc bitrate=4000 pass=cbr vbv-buf-capacity=1000 key-int-max=$((2 * fps)) bframes=0 \
        speed-preset=veryfast tune=zerolatency threads=1 option-string=scenecut=0 \
    ! "video/x-h264,profile=main" \
    ! h264parse config-interval=-1 \
    ! "video/x-h264,stream-format=byte-stream,alignment=au" \
    ! filesink location="$out.part" \
    videotestsrc num-buffers="$frames" pattern=snow \
    ! "video/x-raw,format=I420,width=1920,height=320,framerate=$fps/1" ! mix.
mv "$out.part" "$out"
echo "$out"
