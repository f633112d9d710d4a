#!/usr/bin/env bash
# Runs each fuzz target once over its checked-in seeds (fuzz/corpus/<target>/) and the inputs of
# past findings (fuzz/regressions/<target>/), so that every fault the fuzzer found stays fixed.
# The build makes <build dir>/fuzz/<target>_replay of each target, with a main() of our own
# (fuzz/ReplayMain.cpp) and the compiler and sanitizers of the tests, so no clang is needed; a
# build made with CARDINDEX_FUZZ has the libFuzzer programs instead, which take files the same way.
set -euo pipefail
build="${1:?usage: test_fuzz_regressions.sh <build dir>}"
root="$(cd "$(dirname "$0")/../.." && pwd)"

list="$build/fuzz/targets.txt"
if [[ ! -s $list ]]; then
    echo "$list is missing: the build lists its fuzz targets there" >&2
    exit 1
fi
mapfile -t targets <"$list"

status=0
for target in "${targets[@]}"; do
    program="$build/fuzz/${target}_replay"
    [[ -x $program ]] || program="$build/fuzz/$target"
    if [[ ! -x $program ]]; then
        echo "$target: $program has not been built" >&2
        status=1
        continue
    fi
    folders=()
    for folder in "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target"; do
        [[ -d "$folder" ]] && folders+=("$folder")
    done
    inputs=()
    ((${#folders[@]})) && mapfile -t inputs < <(find "${folders[@]}" -type f | sort)
    if ((${#inputs[@]} == 0)); then
        echo "$target: no inputs checked in" >&2
        status=1
        continue
    fi
    log="$build/fuzz/$target.regressions.log"
    # Given files rather than folders, libFuzzer too runs each once and writes nothing back.
    if "$program" "${inputs[@]}" >"$log" 2>&1; then
        echo "$target: ${#inputs[@]} inputs pass"
    else
        echo "$target: an input fails:" >&2
        tail -n 60 "$log" >&2
        status=1
    fi
done
exit $status
