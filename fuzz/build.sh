#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   fuzz/build.sh [output folder]      (default: build-fuzz at the top of the tree)
#   fuzz/build.sh --list               prints the target names, one a line
#
# Each target is compiled together with just the sources it exercises, against Qt Core and Gui
# from pkg-config. A target newer than every file it is built from is left as it is. A new target
# is one line in the table below, with its seeds in fuzz/corpus/<target>/; fuzz/run.sh and the
# regression test take their list from here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# target name, then the sources it is built from
targets=(
    "numbers_file_fuzzer fuzz/numbers_file_fuzzer.cpp src/data/NumbersFile.cpp src/data/AtomicFile.cpp src/data/PackedEntry.cpp src/data/LegacyCodec.cpp"
    "cursor_file_fuzzer fuzz/cursor_file_fuzzer.cpp src/common/CursorFile.cpp"
    "fuzz_vcard fuzz/fuzz_vcard.cpp src/data/exchange/VCard.cpp src/data/exchange/VCardParser.cpp src/data/exchange/ContactBuilder.cpp src/data/TextDecoding.cpp src/data/LegacyCodec.cpp"
    "fuzz_csv fuzz/fuzz_csv.cpp src/data/exchange/CsvContacts.cpp src/data/exchange/CsvColumns.cpp src/data/exchange/CsvTokenizer.cpp src/data/exchange/ContactBuilder.cpp src/data/TextDecoding.cpp src/data/LegacyCodec.cpp"
)

if [[ "${1:-}" == "--list" ]]; then
    for line in "${targets[@]}"; do echo "${line%% *}"; done
    exit 0
fi

out="${1:-$root/build-fuzz}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

CXX="${CXX_FUZZ:-clang++}"
if ! command -v "$CXX" >/dev/null; then
    echo "fuzz/build.sh: $CXX not found (Debian: clang, libclang-rt-14-dev)" >&2
    exit 2
fi

# Qt's headers are not ours to keep warning-free under clang: include them as system headers.
qt_cflags="$(pkg-config --cflags Qt6Core Qt6Gui | sed 's/-I/-isystem /g')"
qt_libs="$(pkg-config --libs Qt6Core Qt6Gui)"

flags=(-std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Wall -Wextra -Wpedantic -Werror -I"$root/src")

for line in "${targets[@]}"; do
    read -r name sources <<<"$line"
    binary="$out/$name"
    inputs=()
    for source in $sources; do
        inputs+=("$root/$source")
        header="$root/${source%.cpp}.h"
        [[ -f "$header" ]] && inputs+=("$header")
    done
    inputs+=("$root/src/data/Contact.h" "$root/fuzz/FuzzCheck.h" "$0")
    stale=0
    if [[ ! -x "$binary" ]]; then
        stale=1
    else
        for input in "${inputs[@]}"; do
            [[ "$input" -nt "$binary" ]] && stale=1
        done
    fi
    if ((stale)); then
        echo "fuzz/build.sh: building $name"
        sources_abs=()
        for source in $sources; do sources_abs+=("$root/$source"); done
        # shellcheck disable=SC2086  # the pkg-config flags are meant to split
        "$CXX" "${flags[@]}" $qt_cflags "${sources_abs[@]}" -o "$binary.tmp" $qt_libs
        mv "$binary.tmp" "$binary"
    fi
done
