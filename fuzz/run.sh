#!/usr/bin/env bash
# Builds the fuzz targets and fuzzes each for the given number of seconds (default 60).
#
#   fuzz/run.sh [seconds]
#
# The targets are those of fuzz/CMakeLists.txt, built in build-fuzz/ (FUZZ_BUILD) with clang
# (CXX_FUZZ), libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. Each starts from its
# checked-in seeds (fuzz/corpus/<target>/) and the inputs of past findings
# (fuzz/regressions/<target>/), which are only read; what the fuzzer learns goes to a working
# corpus under build-fuzz/, kept between runs. A finding is written to
# build-fuzz/artifacts/<target>/ and makes the script fail once every target has had its turn.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
out="${FUZZ_BUILD:-$root/build-fuzz}"
cxx="${CXX_FUZZ:-clang++}"

if ! command -v "$cxx" >/dev/null; then
    echo "fuzz/run.sh: $cxx not found (Debian: clang, libclang-rt-14-dev)" >&2
    exit 2
fi
# Debug keeps the assertions; -O1 makes enough runs a second.
mkdir -p "$out"
CXX="$cxx" cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
    -DCARDINDEX_FUZZ=ON -DBUILD_TESTING=OFF -DCARDINDEX_BENCH=OFF >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log" >&2; exit 1; }
mapfile -t targets <"$out/fuzz/targets.txt"
cmake --build "$out" -j "${JOBS:-$(nproc)}" --target "${targets[@]}" || exit 1

# Leak checking stays on: a leak per input would exhaust memory in a long run.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"

status=0
for target in "${targets[@]}"; do
    work="$out/corpus/$target"
    artifacts="$out/artifacts/$target"
    mkdir -p "$work" "$artifacts" "$root/fuzz/regressions/$target"
    # The working copy starts as the seeds; later runs keep what earlier ones found.
    cp -n "$root/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
    echo "== $target: ${seconds}s"
    "$out/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=16384 \
        -dict="$root/fuzz/$target.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$work" "$root/fuzz/regressions/$target" 2>"$out/$target.log"
    result=$?
    grep -E '^(#[0-9]+.*(DONE|INITED)|stat::number_of_executed_units|stat::new_units_added)' "$out/$target.log"
    if ((result != 0)); then
        echo "!! $target found a fault: see $out/$target.log and $artifacts/" >&2
        tail -n 40 "$out/$target.log" >&2
        status=1
    fi
done
exit $status
