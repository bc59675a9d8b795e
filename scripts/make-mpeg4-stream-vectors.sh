#!/usr/bin/env bash
# Writes the MPEG-4 part 2 elementary streams the HTTP MPEG-4 parser is tested
# with, made by FFmpeg's encoder so that the parser and its tests do not share
# one reading of the format. Needs Debian's ffmpeg. The outputs are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/data/mpeg4
mkdir -p "$out"
encode() {  # name size frames gop
    ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=$2:rate=10" -frames:v "$3" \
        -c:v mpeg4 -g "$4" -bf 0 -q:v 10 -f m4v "$out/$1.m4v"
}
# Headers in front of every key plane, a key plane every 10 planes.
encode qcif-gop10 176x144 30 10
# A second size, to follow a configuration header that changes mid-stream.
encode qvga-gop5 320x240 10 5
ls -l "$out"
