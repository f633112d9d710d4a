#!/usr/bin/env bash
# Runs each fuzz target once over its checked-in seeds (fuzz/corpus/<target>/) and the inputs of
# past findings (fuzz/regressions/<target>/), so that every fault the fuzzer found stays fixed.
# The targets are built with clang into <build dir>/fuzz; without clang's libFuzzer the test is
# skipped (exit 77).
set -euo pipefail
build="${1:?usage: test_fuzz_regressions.sh <build dir>}"
root="$(cd "$(dirname "$0")/../.." && pwd)"

if ! command -v clang++ >/dev/null; then
    echo "clang++ is not installed (Debian: clang): skipped"
    exit 77
fi
if [[ ! -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]]; then
    echo "clang's libFuzzer is not installed (Debian: libclang-rt-14-dev): skipped"
    exit 77
fi

"$root/fuzz/build.sh" "$build/fuzz"

status=0
for target in $("$root/fuzz/build.sh" --list); do
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
    # Given files rather than folders, libFuzzer runs each once and writes nothing back.
    if "$build/fuzz/$target" "${inputs[@]}" >"$log" 2>&1; then
        echo "$target: ${#inputs[@]} inputs pass"
    else
        echo "$target: an input fails:" >&2
        tail -n 60 "$log" >&2
        status=1
    fi
done
exit $status
