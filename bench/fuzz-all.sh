#!/usr/bin/env bash
# Runs every built libFuzzer target (build/fuzz/fuzz/*Fuzz) for a given time
# each and keeps what it learns: each target's corpus grows in
# $WF_FUZZ_CORPUS/<Target> across runs. The first run of a target is seeded
# from fuzz/corpus/<Target>/ (when present) and from the files of tests/data.
# A crash leaves its input in $WF_FUZZ_ARTIFACTS and fails the run.
#
# Usage: bench/fuzz-all.sh [seconds-per-target] [build-dir]
#   seconds-per-target  default 60
#   build-dir           default build/fuzz (configure with: cmake --preset fuzz)
# Environment: WF_FUZZ_CORPUS (default build/fuzz-corpus), WF_FUZZ_ARTIFACTS
# (default build/fuzz-artifacts), WF_FUZZ_MAX_LEN (default 16384 bytes),
# WF_FUZZ_JOBS (targets run at once, default 1), WF_FUZZ_TARGETS (a regular
# expression the target names must match, default all).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${2:-build/fuzz}
corpus_root=${WF_FUZZ_CORPUS:-build/fuzz-corpus}
artifacts=${WF_FUZZ_ARTIFACTS:-build/fuzz-artifacts}
max_len=${WF_FUZZ_MAX_LEN:-16384}
jobs=${WF_FUZZ_JOBS:-1}
only=${WF_FUZZ_TARGETS:-.}

shopt -s nullglob
targets=("$build"/fuzz/*Fuzz)
if [[ ${#targets[@]} -eq 0 ]]; then
    echo "fuzz-all: no targets in $build/fuzz (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
    exit 2
fi

# Small files of tests/data seed every target; the big recordings would only
# be cut to max_len anyway.
seeds="$corpus_root/.seeds"
if [[ ! -d $seeds ]]; then
    mkdir -p "$seeds"
    find tests/data -type f -size -256k -exec cp {} "$seeds"/ \; 2>/dev/null || true
fi

mkdir -p "$artifacts"

# One target for the given time; its log keeps libFuzzer's final figures.
run_target() {
    local target=$1 name corpus
    name=$(basename "$target")
    corpus="$corpus_root/$name"
    mkdir -p "$corpus"
    local inputs=("$corpus")
    [[ -d fuzz/corpus/$name ]] && inputs+=("fuzz/corpus/$name")
    inputs+=("$seeds")
    "$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${inputs[@]}" >"$artifacts/$name.log" 2>&1
}

selected=()
for target in "${targets[@]}"; do
    [[ $(basename "$target") =~ $only ]] && selected+=("$target")
done
echo "== ${#selected[@]} targets, ${seconds}s each, $jobs at a time, corpora in $corpus_root"
declare -A pids
for target in "${selected[@]}"; do
    while [[ $(jobs -rp | wc -l) -ge $jobs ]]; do wait -n || true; done
    run_target "$target" &
    pids[$target]=$!
done

failed=()
for target in "${selected[@]}"; do
    name=$(basename "$target")
    if ! wait "${pids[$target]}"; then
        echo "fuzz-all: $name failed, see $artifacts/$name.log" >&2
        tail -40 "$artifacts/$name.log" >&2
        failed+=("$name")
    else
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$artifacts/$name.log" | tail -1)
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$artifacts/$name.log" | tail -1)
        units=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$artifacts/$name.log" | tail -1)
        printf '%-26s %12s runs %8s exec/s  %s\n' "$name" "${runs:-?}" "${rate:-?}" "${units:-}"
    fi
done
if [[ ${#failed[@]} -ne 0 ]]; then
    echo "fuzz-all: failures in ${failed[*]}" >&2
    exit 1
fi
echo "fuzz-all: ${#selected[@]} targets ran ${seconds}s each without a failure"
