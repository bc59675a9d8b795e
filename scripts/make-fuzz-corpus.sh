#!/usr/bin/env bash
# Writes the seed inputs of the fuzz targets that read camera pages, HTTP
# streams and preset files, captured from the camera simulator and written by
# the driver's own preset storage, so that the fuzzers start from what real
# peers send. Needs the default build (simulator and unit tests) and curl.
# The outputs are committed under fuzz/corpus; run this again only to change
# them. It starts simulators: run it under the shared test lock.
set -euo pipefail
cd "$(dirname "$0")/.."
camsim=${WRENFIELD_CAMSIM:-build/default/tools/camsim/wrenfield-camsim}
unit_tests=build/default/tests/wf_unit_tests
corpus=fuzz/corpus
work=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Starts a simulator with the given options and sets port to its web port.
start() {
    "$camsim" "$@" >"$work/ready" 2>"$work/stderr" &
    sim_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/ready ]] && break
        sleep 0.05
    done
    port=$(sed -n 's/.*"http_port":\([0-9]*\).*/\1/p' "$work/ready")
    [[ -n $port ]] || { echo "make-fuzz-corpus: the simulator did not start" >&2; exit 1; }
}
stop() {
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
}
page() { curl -sf --max-time 5 "http://127.0.0.1:$port$1"; }
# The first bytes of the stream, behind the byte that picks how the fuzzer
# splits it into reads.
stream() {  # split-byte target name
    { printf "\\x$1"; curl -s --max-time 3 "http://127.0.0.1:$port/GetStream.cgi?Video=0" | head -c 16000 || true; } \
        >"$corpus/$2/$3"
}

mkdir -p "$corpus"/{CapabilityPagesFuzz,ReplyLookupsFuzz,JpegHttpStreamFuzz,Mpeg4HttpStreamFuzz,PresetFileFuzz}

# The description pages of a camera, a video server and older firmware, as
# the capability query reads them: multimedia, camera type, PTZ, network.
describe() {  # name options...
    local name=$1
    shift
    start "$@"
    local ptz=/GetPTZ.cgi
    grep -q -- '--channels' <<<"$*" && ptz='/GetPTZ.cgi?CH=1'
    for path in "/GetMultimedia.cgi?CH=0" /GetCameraType.cgi "$ptz" /GetNetwork.cgi; do
        page "$path"
        printf '\0'
    done >"$corpus/CapabilityPagesFuzz/$name"
    page /GetCameraType.cgi >"$corpus/ReplyLookupsFuzz/type-$name"
    page "$ptz" >"$corpus/ReplyLookupsFuzz/ptz-$name"
    stop
}
describe camera --presets 4
describe server --camera-type 0xBA --device 0xBA02 --channels 4 --video-standard ntsc
describe legacy --legacy-network-page --ptz-model 0 --codecs mjpeg --resolutions 352x288,176x144
start
page /GetNetwork.cgi >"$corpus/ReplyLookupsFuzz/network"
page /GetVer.cgi >"$corpus/ReplyLookupsFuzz/version"
stop

# Small pictures, so that several fit in one input.
start --codec mjpeg --size 160x120 --jpeg-quality 1 --fps 10
stream 07 JpegHttpStreamFuzz mjpeg-160x120
stop
start --codec mpeg4 --size 160x120 --fps 10
stream 07 Mpeg4HttpStreamFuzz mpeg4-160x120
stop
for file in tests/data/mpeg4/*.m4v; do
    { printf '\x00'; head -c 16000 "$file"; } >"$corpus/Mpeg4HttpStreamFuzz/$(basename "$file" .m4v)"
done

# A preset file as the driver writes it, names in several scripts included.
WF_PRESET_EXPORT_DIR="$work" "$unit_tests" --gtest_filter='CXMLPrepositionReaderExport.*' >/dev/null
cp "$work"/*.preset "$corpus/PresetFileFuzz/driver-written"
ls -l "$corpus"/{CapabilityPagesFuzz,ReplyLookupsFuzz,JpegHttpStreamFuzz,Mpeg4HttpStreamFuzz,PresetFileFuzz}
