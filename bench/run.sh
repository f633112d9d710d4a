#!/usr/bin/env bash
# Runs the benchmarks against the programs built in BUILD_FOLDER and prints the results.
#
#   bench/run.sh BUILD_FOLDER [SIZE...]
#
# SIZE: phone books of that many entries (default 1000 10000 100000 1000000; the million takes a
# few minutes, leave it out for a quick run). BENCH_RUNS sets the runs per figure (default 5).
# The phone books are generated once into BUILD_FOLDER/bench-data and kept for the next run; the
# results go to BUILD_FOLDER/bench-results.txt as well.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_FOLDER [SIZE...]}
shift
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(1000 10000 100000 1000000)
runs=${BENCH_RUNS:-5}
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bench/cardindex_bench
if [[ ! -x $bench || ! -x $build/bench/cardindex_startup_probe ]]; then
  echo "$bench is missing: build $build first" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 QT_LOGGING_RULES='qt.qpa.*=false'
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

# A phone book is made again only when the generator has changed since.
stamp=$(sha1sum "$here/make_numbers.py" | cut -c1-16)
results=$build/bench-results.txt
: >"$results.part"
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run" >&2
for n in "${sizes[@]}"; do
  folder=$build/bench-data/$n
  if [[ ! -f $folder/stamp || $(cat "$folder/stamp") != "$stamp" ]]; then
    echo "generating $n contacts" >&2
    rm -rf "$folder"
    python3 "$here/make_numbers.py" "$n" "$folder"
    echo "$stamp" >"$folder/stamp"
  fi
  echo "== $n entries" >&2
  "$bench" "$folder" "$runs" >>"$results.part"
done
python3 "$here/report.py" "$results.part" | tee "$results"
rm -f "$results.part"

# Dropping contacts on the list: 10,000 as vCard and CSV, the duplicate check at a million
# entries, and 10 MB files of several shapes.
if [[ -x $build/bench/import/cardindex_import_bench ]]; then
  echo "== import of dropped files" >&2
  "$build/bench/import/cardindex_import_bench" "$runs"
fi
