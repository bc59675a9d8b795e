#!/usr/bin/env bash
# Runs an end-to-end test program of the Windows build (under Wine) against
# simulators of the Linux build on loopback: a one-channel camera and a
# four-channel video server, both MJPEG with two digital inputs and two
# outputs. The program finds them through
# WF_CAMSIM_1CH and WF_CAMSIM_4CH ("http-port,control-port").
# Usage: run-with-simulators.sh CAMSIM EMULATOR PROGRAM [ARGS...]
set -euo pipefail
camsim=$1
shift
if [[ ! -x $camsim ]]; then
    echo "run-with-simulators: no simulator at $camsim (build the Linux preset first)" >&2
    exit 1
fi

workdir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$workdir"
}
trap cleanup EXIT

start_simulator() {
    local channels=$1
    local out="$workdir/camsim-$channels.json"
    "$camsim" --codec mjpeg --size 320x240 --fps 25 --inputs 2 --outputs 2 --channels "$channels" >"$out" 2>"$workdir/camsim-$channels.log" &
    pids+=($!)
    for _ in $(seq 1 150); do
        if grep -q '"control_port"' "$out" 2>/dev/null; then break; fi
        sleep 0.1
    done
    local line
    line=$(head -n 1 "$out")
    local http control
    http=$(sed -n 's/.*"http_port": *\([0-9]*\).*/\1/p' <<<"$line")
    control=$(sed -n 's/.*"control_port": *\([0-9]*\).*/\1/p' <<<"$line")
    if [[ -z $http || -z $control ]]; then
        echo "run-with-simulators: the simulator did not start: $(cat "$workdir/camsim-$channels.log")" >&2
        exit 1
    fi
    export "WF_CAMSIM_${channels}CH=$http,$control"
}

start_simulator 1
start_simulator 4
"$@"
