#!/usr/bin/env bash
# Sets up a machine (Debian packages), builds every configuration and runs
# the whole test suite: the Linux build, its AddressSanitizer+UBSan and
# ThreadSanitizer builds, and the Windows build under Wine.
#
# Usage: scripts/test.sh [default|asan|tsan|fuzz|windows]...   (all when none given)
# The fuzz stage runs every libFuzzer target for WF_FUZZ_SECONDS (default 15) each.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
if [[ ${#stages[@]} -eq 0 ]]; then
    stages=(default asan tsan fuzz windows)
fi

want_windows=0
for stage in "${stages[@]}"; do [[ $stage == windows ]] && want_windows=1; done
if [[ $want_windows == 1 ]]; then
    scripts/setup-deps.sh
else
    scripts/setup-deps.sh --no-windows
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
# on the driver's time-outs, so twice as many run at once as there are cores.
test_jobs=${WRENFIELD_TEST_JOBS:-$(( jobs * 2 > 4 ? jobs * 2 : 4 ))}
run_started=$(date +%s)
stage_times=()

# The folders of src/ are layers; a reverse include fails the run before any build.
tests/layers/check-layers-test.sh
scripts/check-layers.sh

run_linux() {
    local preset=$1
    echo "== $preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$test_jobs"
}

for stage in "${stages[@]}"; do
    stage_started=$(date +%s)
    case "$stage" in
        default)
            run_linux default
            # The installed SDK builds a host outside the tree that captures.
            scripts/test-sdk-package.sh
            ;;
        asan)
            # Sanitizer builds reuse the simulator of the plain build.
            export WRENFIELD_CAMSIM="$PWD/build/default/tools/camsim/wrenfield-camsim"
            ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 run_linux asan
            ;;
        tsan)
            export WRENFIELD_CAMSIM="$PWD/build/default/tools/camsim/wrenfield-camsim"
            TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_linux tsan
            ;;
        fuzz)
            echo "== fuzz: configure, build, run each target"
            cmake --preset fuzz >/dev/null
            cmake --build --preset fuzz -j "$jobs"
            # Two targets at a time on the two cores keeps the stage near 90 s.
            WF_FUZZ_JOBS=${WF_FUZZ_JOBS:-2} bench/fuzz-all.sh "${WF_FUZZ_SECONDS:-15}" build/fuzz
            ;;
        windows)
            if [[ -f cmake/mingw-i686.cmake ]]; then
                scripts/test-windows.sh
            else
                echo "== windows: no cross build configured yet"
            fi
            ;;
        *)
            echo "unknown stage: $stage" >&2
            exit 2
            ;;
    esac
    stage_times+=("$stage $(( $(date +%s) - stage_started )) s")
done
echo "== stage times: ${stage_times[*]}; whole run $(( $(date +%s) - run_started )) s"
echo "== all stages passed: ${stages[*]}"
