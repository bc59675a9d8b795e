#!/bin/sh
# Regenerates the RTP test vectors in tests/data/rtp/ from encoded test
# patterns, with GStreamer's own payloaders as the independent sender.
#
# Packages (Debian): gstreamer1.0-tools gstreamer1.0-plugins-base
#   gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
#   libjpeg-turbo-progs python3
#
# For every vector NAME it writes:
#   NAME.rtp   the RTP packets, each behind a 2-byte big-endian length (RFC 4571 framing)
#   NAME.es    the elementary stream the payloader was given (JPEG: the pictures back to back)
#   NAME.caps  the payloader's output caps (sprop-parameter-sets, config, ...)
# The outputs are committed; CI does not run this script.
set -eu
out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/rtp"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# run NAME PIPELINE-HEAD PAYLOADER: PIPELINE-HEAD ends in an encoded stream.
run() {
    name=$1 head=$2 pay=$3
    gst-launch-1.0 -v $head ! tee name=t \
        t. ! queue ! filesink location="$out/$name.es" \
        t. ! queue ! $pay name=pay ! rtpstreampay ! filesink location="$out/$name.rtp" \
        > "$tmp/$name.log"
    grep 'pay.GstPad:src: caps' "$tmp/$name.log" | tail -n 1 | sed 's/.*caps = //' > "$out/$name.caps"
}

src() { echo "videotestsrc num-buffers=$1 pattern=$2 ! video/x-raw,format=$3,width=$4,height=$5,framerate=25/1${6:-}"; }
h264() { echo "! x264enc aud=false bframes=0 key-int-max=$1 $2 ! video/x-h264,profile=$3 ! h264parse ! video/x-h264,stream-format=byte-stream,alignment=au"; }

# Baseline, parameter sets as single NAL unit packets, small MTU for FU-A.
run h264-baseline "$(src 30 ball I420 320 240) $(h264 10 'speed-preset=ultrafast quantizer=30 pass=qual' constrained-baseline)" \
    "rtph264pay mtu=600 config-interval=-1 aggregate-mode=none"
# High: CABAC, 8x8 transform, JVT scaling matrices (x264 sends them in the PPS);
# parameter sets in STAP-A.
run h264-high-stapa "$(src 20 smpte I420 352 288) $(h264 10 'cabac=true dct8x8=true quantizer=32 pass=qual option-string=cqm=jvt' high)" \
    "rtph264pay mtu=1000 config-interval=-1 aggregate-mode=zero-latency"
# 1920x1080 coded as 1088 with a bottom crop.
run h264-1080-crop "$(src 3 black I420 1920 1080) $(h264 10 'speed-preset=ultrafast quantizer=45 pass=qual' main)" \
    "rtph264pay mtu=1400 config-interval=-1"
# Interlaced (MBAFF): frame_mbs_only_flag 0, crop units of 4 lines.
run h264-interlaced "$(src 3 black I420 1920 1080 ,interlace-mode=interleaved) $(h264 10 'speed-preset=ultrafast quantizer=45 pass=qual interlaced=true' high)" \
    "rtph264pay mtu=1400 config-interval=-1"
# 4:4:4 (chroma_format_idc 3), with the JVT scaling matrices.
run h264-444-cqm "$(src 6 ball Y444 176 144) $(h264 10 'speed-preset=ultrafast quantizer=30 pass=qual option-string=cqm=jvt' high-4:4:4)" \
    "rtph264pay mtu=1400 config-interval=-1"
# Parameter sets only in the SDP: IDR slices sent as they come.
run h264-sdp-only "$(src 12 ball I420 320 240) $(h264 6 'speed-preset=ultrafast quantizer=30 pass=qual' constrained-baseline)" \
    "rtph264pay mtu=1400 config-interval=0"

# rtpjpegpay always sends its tables in band (Q 255). A camera that sends
# Q < 128 leaves them out; to_q NAME Q turns a vector into that form after
# checking that its tables are exactly the ones a receiver computes for Q.
to_q() {
    python3 - "$out/$1.rtp" "$2" <<'PY'
import struct, sys
path, q = sys.argv[1], int(sys.argv[2])
K1 = [16,11,10,16,24,40,51,61,12,12,14,19,26,58,60,55,14,13,16,24,40,57,69,56,14,17,22,29,51,87,80,62,
      18,22,37,56,68,109,103,77,24,35,55,64,81,104,113,92,49,64,78,87,103,121,120,101,72,92,95,98,112,100,103,99]
K2 = [17,18,24,47,99,99,99,99,18,21,26,66,99,99,99,99,24,26,56,99,99,99,99,99,47,66,99,99,99,99,99,99] + [99]*32
ZZ = [0,1,8,16,9,2,3,10,17,24,32,25,18,11,4,5,12,19,26,33,40,48,41,34,27,20,13,6,7,14,21,28,
      35,42,49,56,57,50,43,36,29,22,15,23,30,37,44,51,58,59,52,45,38,31,39,46,53,60,61,54,47,55,62,63]
scale = 5000 // q if q < 50 else 200 - 2 * q
def table(k): return bytes(min(255, max(1, (k[z] * scale + 50) // 100)) for z in ZZ)
expected = table(K1) + table(K2)
data = open(path, 'rb').read()
out = bytearray()
i = 0
while i < len(data):
    n = struct.unpack('>H', data[i:i + 2])[0]
    pkt = bytearray(data[i + 2:i + 2 + n]); i += 2 + n
    cc = pkt[0] & 15
    head = 12 + 4 * cc
    pay = pkt[head:]
    assert pay[5] >= 128, 'already computed'
    pay[5] = q
    if pay[1:4] == b'\0\0\0':
        at = 12 if pay[4] >= 64 else 8
        length = struct.unpack('>H', pay[at + 2:at + 4])[0]
        assert bytes(pay[at + 4:at + 4 + length]) == expected, 'tables differ from those of Q %d' % q
        del pay[at:at + 4 + length]
    pkt = pkt[:head] + pay
    out += struct.pack('>H', len(pkt)) + pkt
open(path, 'wb').write(out)
PY
}

# JPEG, tables computed from Q (4:2:0 and 4:2:2), and tables in band.
run jpeg-q50 "$(src 6 ball I420 320 240) ! jpegenc quality=50" "rtpjpegpay mtu=1000 quality=50"
run jpeg-q50-422 "$(src 4 ball Y42B 320 240) ! jpegenc quality=50" "rtpjpegpay mtu=1000 quality=50"
to_q jpeg-q50 50
to_q jpeg-q50-422 50
run jpeg-inband "$(src 3 smpte I420 320 240) ! jpegenc quality=85" "rtpjpegpay mtu=1000"

# JPEG with restart intervals: cjpeg writes the DRI segment.
restart() {
    name=$1 sample=$2 quality=$3 pay=$4
    gst-launch-1.0 -q $(src 4 ball RGB 320 240) ! pnmenc ! multifilesink location="$tmp/f%02d.ppm"
    for f in "$tmp"/f*.ppm; do cjpeg -quality "$quality" -sample "$sample" -restart 2 -baseline "$f" > "${f%.ppm}.jpg"; done
    cat "$tmp"/f*.jpg > "$out/$name.es"
    gst-launch-1.0 -v multifilesrc location="$tmp/f%02d.jpg" caps=image/jpeg,framerate=25/1 ! jpegparse \
        ! $pay name=pay ! rtpstreampay ! filesink location="$out/$name.rtp" > "$tmp/$name.log"
    grep 'pay.GstPad:src: caps' "$tmp/$name.log" | tail -n 1 | sed 's/.*caps = //' > "$out/$name.caps"
    rm -f "$tmp"/f*
}
restart jpeg-restart-420 2x2 50 "rtpjpegpay mtu=700 quality=50"
restart jpeg-restart-422 2x1 50 "rtpjpegpay mtu=700 quality=50"
to_q jpeg-restart-420 50
to_q jpeg-restart-422 50
restart jpeg-restart-inband 2x2 75 "rtpjpegpay mtu=700"

# MPEG-4 Part 2 simple profile: configuration in band, and only in the SDP.
mp4() { echo "$(src $1 ball I420 352 288) ! avenc_mpeg4 gop-size=8 bitrate=300000 max-bframes=0 ! mpeg4videoparse config-interval=$2"; }
run mpeg4-inband "$(mp4 20 -1)" "rtpmp4vpay mtu=1000 config-interval=-1"
run mpeg4-sdp-only "$(mp4 12 0)" "rtpmp4vpay mtu=1000 config-interval=0"

ls -l "$out"
