#!/usr/bin/env bash
# Sets up a machine (Debian packages), builds every configuration and runs
# the whole test suite: the Linux build, its AddressSanitizer+UBSan and
# ThreadSanitizer builds, and the Windows build under Wine.
#
# Usage: scripts/test.sh [--build-only] [default|asan|tsan|fuzz|windows]...   (all when none given)
#   --build-only  configures and builds the stages, runs no test
# The fuzz stage runs every libFuzzer target for WF_FUZZ_SECONDS (default 15) each.
#
# The stages pass one after another, but their work overlaps where the
# machine would otherwise wait. Once the first stage is built, the later
# stages are built in the background at the lowest priority while the tests
# run: the tests spend most of their time waiting on the simulator and on the
# driver's time-outs, and whenever they want the processor they get it. The
# fuzz run, which only computes, goes beside the Windows stage's Wine tests
# the same way. WRENFIELD_OVERLAP=0 does everything one step at a time.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
if [[ ${1:-} == --build-only ]]; then
    build_only=1
    shift
fi
stages=("$@")
if [[ ${#stages[@]} -eq 0 ]]; then
    stages=(default asan tsan fuzz windows)
fi
for stage in "${stages[@]}"; do
    case "$stage" in
        default | asan | tsan | fuzz | windows) ;;
        *)
            echo "unknown stage: $stage" >&2
            exit 2
            ;;
    esac
done

# The background builds are this script again; the machine is set up and the
# layers are checked once, by the run that started them.
if [[ -z ${WRENFIELD_SET_UP:-} ]]; then
    want_windows=0
    for stage in "${stages[@]}"; do [[ $stage == windows ]] && want_windows=1; done
    if [[ $want_windows == 1 ]]; then
        scripts/setup-deps.sh
    else
        scripts/setup-deps.sh --no-windows
    fi
    # The folders of src/ are layers; a reverse include fails the run before any build.
    tests/layers/check-layers-test.sh
    scripts/check-layers.sh
    export WRENFIELD_SET_UP=1
fi

# Every build goes through the compiler cache when there is one: a fresh clone
# on a machine that built these sources before compiles only what changed,
# which is most of what keeps the whole run short. Paths are hashed relative
# to the clone, so that a clone in another directory finds the same entries.
# WRENFIELD_CCACHE=0 builds without it.
if [[ ${WRENFIELD_CCACHE:-1} != 0 ]] && command -v ccache >/dev/null 2>&1; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi

jobs=$(nproc 2>/dev/null || echo 2)
# The end-to-end tests spend most of their time waiting on the simulator and
# on the driver's time-outs: on two cores, eight at once keep the machine a
# third (plain build) to two thirds (sanitizers) busy and halve each stage's
# tests. More than sixteen at once would crowd the channels' range of RTP ports.
test_jobs=$(( jobs * 4 > 8 ? jobs * 4 : 8 ))
test_jobs=${WRENFIELD_TEST_JOBS:-$(( test_jobs < 16 ? test_jobs : 16 ))}

build_stage() {
    local stage=$1
    case "$stage" in
        default | asan | tsan | fuzz)
            echo "== $stage: configure, build"
            cmake --preset "$stage" >/dev/null
            cmake --build --preset "$stage" -j "$jobs"
            ;;
        windows)
            if [[ -f cmake/mingw-i686.cmake ]]; then
                scripts/test-windows.sh --build-only
            else
                echo "== windows: no cross build configured yet"
            fi
            ;;
    esac
}

if [[ $build_only == 1 ]]; then
    for stage in "${stages[@]}"; do
        status=0
        build_stage "$stage" || status=$?
        # The run that started this one in the background waits for these marks.
        if [[ -n ${WRENFIELD_BUILT_MARKS:-} ]]; then echo "$status" >"$WRENFIELD_BUILT_MARKS/$stage"; fi
        if [[ $status != 0 ]]; then exit "$status"; fi
    done
    exit 0
fi

logs=build/test-logs
marks=$logs/built
rm -rf "$logs"
mkdir -p "$marks"
background_builder=""
fuzz_runner=""

# True while a background process runs (a zombie has ended, but kill -0
# still finds it until it is reaped).
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

# Each background job is a session of its own, so that a failing or
# interrupted run ends it with all its compilers and fuzzers.
stop_background() {
    local pid
    for pid in $background_builder $fuzz_runner; do
        if running "$pid"; then kill -TERM -- "-$pid" 2>/dev/null || true; fi
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_background EXIT

start_background_builds() {
    [[ $# -gt 0 && ${WRENFIELD_OVERLAP:-1} != 0 ]] || return 0
    WRENFIELD_BUILT_MARKS="$marks" setsid nice -n 19 "$PWD/scripts/test.sh" --build-only "$@" >"$logs/background-builds.log" 2>&1 &
    background_builder=$!
    echo "== building ${*} in the background (log: $logs/background-builds.log)"
}

# Waits until the background builder has built a stage (or has given up);
# the stage's own build then finds nothing left to do, or shows the error.
wait_for_background_build() {
    local stage=$1
    [[ -n $background_builder ]] || return 0
    while [[ ! -f $marks/$stage ]] && running "$background_builder"; do sleep 1; done
}

start_fuzz_run() {
    WF_FUZZ_JOBS=${WF_FUZZ_JOBS:-2} setsid nice -n 19 bench/fuzz-all.sh "${WF_FUZZ_SECONDS:-15}" build/fuzz \
        >"$logs/fuzz.log" 2>&1 &
    fuzz_runner=$!
    echo "== fuzz: running beside the Wine tests (log: $logs/fuzz.log)"
}

finish_fuzz_run() {
    [[ -n $fuzz_runner ]] || return 0
    local status=0
    wait "$fuzz_runner" || status=$?
    fuzz_runner=""
    echo "== fuzz: run each target"
    cat "$logs/fuzz.log"
    return "$status"
}

# The fuzz run waits for the Wine tests when both stages are asked for.
defer_fuzz=0
if [[ ${WRENFIELD_OVERLAP:-1} != 0 ]]; then
    seen_fuzz=0
    for stage in "${stages[@]}"; do
        [[ $stage == fuzz ]] && seen_fuzz=1
        [[ $stage == windows && $seen_fuzz == 1 ]] && defer_fuzz=1
    done
fi

run_started=$(date +%s)
stage_times=()
for index in "${!stages[@]}"; do
    stage=${stages[$index]}
    stage_started=$(date +%s)
    wait_for_background_build "$stage"
    # The Windows stage's script builds before it tests.
    if [[ $stage != windows ]]; then build_stage "$stage"; fi
    if [[ $index == 0 ]]; then start_background_builds "${stages[@]:1}"; fi
    case "$stage" in
        default)
            echo "== default: test"
            ctest --preset default -j "$test_jobs"
            # The installed SDK builds a host outside the tree that captures.
            scripts/test-sdk-package.sh
            ;;
        asan)
            echo "== asan: test"
            # Sanitizer builds reuse the simulator of the plain build.
            export WRENFIELD_CAMSIM="$PWD/build/default/tools/camsim/wrenfield-camsim"
            ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
                ctest --preset asan -j "$test_jobs"
            ;;
        tsan)
            echo "== tsan: test"
            export WRENFIELD_CAMSIM="$PWD/build/default/tools/camsim/wrenfield-camsim"
            TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j "$test_jobs"
            ;;
        fuzz)
            if [[ $defer_fuzz == 1 ]]; then
                echo "== fuzz: runs beside the Wine tests of the windows stage"
            else
                echo "== fuzz: run each target"
                # Two targets at a time on the two cores keeps the stage near 90 s.
                WF_FUZZ_JOBS=${WF_FUZZ_JOBS:-2} bench/fuzz-all.sh "${WF_FUZZ_SECONDS:-15}" build/fuzz
            fi
            ;;
        windows)
            if [[ $defer_fuzz == 1 ]]; then start_fuzz_run; fi
            windows_status=0
            if [[ -f cmake/mingw-i686.cmake ]]; then scripts/test-windows.sh || windows_status=$?; fi
            finish_fuzz_run
            if [[ $windows_status != 0 ]]; then exit "$windows_status"; fi
            ;;
    esac
    stage_times+=("$stage $(( $(date +%s) - stage_started )) s")
done
echo "== stage times: ${stage_times[*]}; whole run $(( $(date +%s) - run_started )) s"
echo "== all stages passed: ${stages[*]}"
