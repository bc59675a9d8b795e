#!/usr/bin/env bash
# Whole-stream benchmark: CPU, memory, picture loss and latency of the driver
# beside FFmpeg and GStreamer, receiving the same H.264 streams over RTSP/UDP.
#
#   bench/stream-bench.sh [--long] [--lockstep] [--suffix S] [--counts 1,16,64] [--seconds S]
#                         [--clients driver,ffmpeg,gstreamer]
#
# Method: the simulator (wrenfield-camsim --h264-file) serves N copies of a
# 1920x1080, 25 pictures/s, 4 Mbit/s stream (bench/make-bench-stream.sh) in a
# loop, so it encodes nothing. Each stream runs on a picture clock of its own,
# as separate cameras do; --lockstep sends every stream's pictures (and key
# pictures) at one instant, the hardest case for a receiver. For each N (1,
# 16, 64) each client runs on its own simulator in processes of its own:
#   driver     wrenfield-host capture <camera> --rtsp --codec h264 --channel 0.. --discard --json
#              (the benchmark build: WRENFIELD_LATENCY_PROBE=ON)
#   ffmpeg     ffmpeg -rtsp_transport udp -i URL -c copy -f null -, one process per
#              stream, and at N=16 also one process with N inputs; the cheaper way
#              there is used at N=64 and for the ratios
#   gstreamer  gst-launch-1.0 with N branches rtspsrc ! rtph264depay ! fakesink,
#              whole pictures (alignment=au), as the driver hands them, so that
#              parameter sets are not counted as pictures
#              (inside fpsdisplaysink, which only counts)
# Once the camera sends a second's pictures on every stream, user + system CPU
# of the client's processes (/proc/PID/stat) is taken over a window of S
# seconds (default 15), with peak RSS (VmHWM, summed over the processes). Then
# the camera pauses, and once what it sent has arrived the pictures the client
# received are compared with those the camera handed to its sessions. The
# driver's probe records the time from the UDP receive of each picture's
# marker packet to the host's OnFrame into a histogram it writes at close.
# Results: build/bench/stream-bench.md and .csv; the ratios driver / FFmpeg and
# driver / GStreamer are printed. --long adds the 10-minute run of the driver
# (16 streams) with RSS sampled every 10 s (build/bench/stream-bench-rss.csv).
# The machine's load average is recorded beside every figure: a busy machine
# makes all of them noisy. Each N holds /tmp/wf-tests.lock while it runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${WRENFIELD_BENCH_BUILD:-$root/build/bench-stream}"
out="$root/build/bench"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWRENFIELD_BUILD_TESTS=OFF -DWRENFIELD_LATENCY_PROBE=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
targets=(wrenfield-camsim)
if cmake --build "$build" --target help | grep -q '^wrenfield-host:'; then targets+=(wrenfield-host); fi
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
stream="$("$root/bench/make-bench-stream.sh")"
host="$(find "$build" -name wrenfield-host -type f -perm -u+x | head -1)"
clients_default=driver,ffmpeg,gstreamer
[[ -n "$host" ]] || { echo "stream-bench: no wrenfield-host in this tree; driver left out" >&2; clients_default=ffmpeg,gstreamer; }

exec python3 "$root/bench/stream_bench.py" --camsim "$build/tools/camsim/wrenfield-camsim" \
    --host "${host:-none}" --stream "$stream" --out "$out" --clients "$clients_default" "$@"
