#!/usr/bin/env bash
# Soak: sixteen inputs of mixed codecs and transports (H.264, MJPEG and
# MPEG-4 over RTSP with RTP over UDP, over the RTSP connection, and MJPEG and
# MPEG-4 over HTTP) stream from simulated cameras that are put through a
# fault every few seconds (bench/SoakHost.cpp lists them), for as long as
# asked. Every 10 s the driver process's resident memory, thread count and
# descriptor count go into a CSV; at the end the run fails on growth:
#   - memory: the least-squares slope of RSS over the second half of the run
#     above SOAK_RSS_SLOPE KiB per minute (default 64);
#   - threads and descriptors: any sample of the second half above the
#     highest of the first two minutes (a whole round of the faults) by more
#     than SOAK_THREAD_SLACK / SOAK_FD_SLACK (default 4 each: the threads and
#     sockets of RTSP sessions being set up again when the sample is taken),
#     or a second-half slope above 0.1 per minute;
#   - the driver process failing, or an input silent in the fault-free last
#     minute.
#
# Usage: bench/soak.sh [seconds] [csv] [build-dir]
#   seconds    default 1800
#   csv        default build/soak.csv
#   build-dir  default build/default (cmake --build --preset default --target wf_soak_host)
# Environment: SOAK_FAULT_EVERY (seconds between faults, default 15);
# SOAK_GLIBC_TUNABLES (default glibc.malloc.tcache_count=0: without the
# per-thread caches of freed blocks, which fill slowly over a long run, the
# resident memory follows what the driver holds; set it empty to soak with
# the allocator as a host has it).
# The driver takes RTP ports from a fixed range (3556 up): run it under the
# test lock, flock /tmp/wf-tests.lock bench/soak.sh ...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-1800}
csv=${2:-build/soak.csv}
build=${3:-build/default}
host="$build/bench/wf_soak_host"
if [[ ! -x $host ]]; then
    echo "soak: no $host (cmake --build --preset default --target wf_soak_host)" >&2
    exit 2
fi
mkdir -p "$(dirname "$csv")"
log="${csv%.csv}.log"

GLIBC_TUNABLES=${SOAK_GLIBC_TUNABLES-glibc.malloc.tcache_count=0} \
    "$host" --seconds "$seconds" --fault-every "${SOAK_FAULT_EVERY:-15}" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
echo "elapsed_s,rss_kib,threads,fds" >"$csv"
started=$(date +%s)
while kill -0 "$pid" 2>/dev/null; do
    now=$(date +%s)
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l || true)
    [[ -n $rss && -n $threads ]] && echo "$((now - started)),$rss,$threads,$fds" >>"$csv"
    sleep 10
done
set +e
wait "$pid"
status=$?
set -e
trap - EXIT
cat "$log"

# The samples of the start (drivers still opening) and of the close are not the running process.
awk -F, -v seconds="$seconds" -v rssLimit="${SOAK_RSS_SLOPE:-64}" -v threadSlack="${SOAK_THREAD_SLACK:-4}" \
    -v fdSlack="${SOAK_FD_SLACK:-4}" '
    NR == 1 || $1 < 10 || $1 > seconds - 2 { next }
    { t[n] = $1; v[1, n] = $2; v[2, n] = $3; v[3, n] = $4; n++ }
    END {
        if (n < 4) { print "soak: too few samples"; exit 1 }
        split("rss_kib threads fds", name, " ")
        half = (t[0] + t[n - 1]) / 2
        failed = 0
        for (c = 1; c <= 3; c++) {
            first = v[c, 0]; last = v[c, n - 1]; max = first; refMax = first
            sx = sy = sxx = sxy = m = 0; halfMax = 0
            for (i = 0; i < n; i++) {
                x = v[c, i]
                if (x > max) max = x
                if (t[i] <= t[0] + 120 && x > refMax) refMax = x
                if (t[i] >= half) {
                    m++; sx += t[i]; sy += x; sxx += t[i] * t[i]; sxy += t[i] * x
                    if (x > halfMax) halfMax = x
                }
            }
            slope = (m > 1 && m * sxx - sx * sx != 0) ? (m * sxy - sx * sy) / (m * sxx - sx * sx) * 60 : 0
            printf "soak: %-8s start %d, end %d, max %d, max of the first two minutes %d, max of the second half %d, second-half slope %+.3f per minute\n",
                name[c], first, last, max, refMax, halfMax, slope
            if (c == 1 && slope > rssLimit) { print "soak: resident memory grows"; failed = 1 }
            if (c == 2 && (halfMax > refMax + threadSlack || slope > 0.1)) { print "soak: threads grow"; failed = 1 }
            if (c == 3 && (halfMax > refMax + fdSlack || slope > 0.1)) { print "soak: descriptors grow"; failed = 1 }
        }
        exit failed
    }' "$csv" || { echo "soak: FAILED (samples in $csv)"; exit 1; }
if [[ $status -ne 0 ]]; then
    echo "soak: FAILED (the driver process exited with $status; its output is in $log)"
    exit 1
fi
echo "soak: passed ($csv)"
