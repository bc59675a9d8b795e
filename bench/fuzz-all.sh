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
# (default build/fuzz-artifacts), WF_FUZZ_MAX_LEN (default 16384 bytes).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${2:-build/fuzz}
corpus_root=${WF_FUZZ_CORPUS:-build/fuzz-corpus}
artifacts=${WF_FUZZ_ARTIFACTS:-build/fuzz-artifacts}
max_len=${WF_FUZZ_MAX_LEN:-16384}

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
failed=()
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus="$corpus_root/$name"
    mkdir -p "$corpus"
    inputs=("$corpus")
    [[ -d fuzz/corpus/$name ]] && inputs+=("fuzz/corpus/$name")
    inputs+=("$seeds")
    echo "== $name: ${seconds}s, corpus $corpus"
    if ! "$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${inputs[@]}" >"$artifacts/$name.log" 2>&1; then
        echo "fuzz-all: $name failed, see $artifacts/$name.log" >&2
        tail -40 "$artifacts/$name.log" >&2
        failed+=("$name")
    else
        grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$artifacts/$name.log" | tail -2 || true
    fi
done
if [[ ${#failed[@]} -ne 0 ]]; then
    echo "fuzz-all: failures in ${failed[*]}" >&2
    exit 1
fi
echo "fuzz-all: ${#targets[@]} targets ran ${seconds}s each without a failure"
