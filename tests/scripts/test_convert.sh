#!/usr/bin/env bash
# cardindex-convert both ways: a generated phone book and one of awkward values go to vCard and
# to CSV and back to the same bytes; every golden sample read, written and read again gives the
# same entries; a missing input or an output it cannot write fails with one line and no file.
set -u
build=$1
convert=$build/cardindex-convert
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# Each field of the entries below is a line; every sixteen lines make an entry.
python3 "$source_dir/bench/make_numbers.py" 2000 "$work/generated" >/dev/null || exit 1
python3 - "$work/awkward.dat" <<'PY'
import sys
entries = [
    [" spaces around ", "1 Main St, Apt 2", "Sub;urb", "N\\S\\W", "2000", 'Aus"tr"alia', " 02 1234 ",
     "a,b", "f;x", "m\\n", "Acme; Inc.", "w", "wf", "x@example.com", "https://e.example/?a=1;b=2",
     "line one\u2028line two\u2028\u2028Phone: 123"],
    [""] * 15 + ["only a comment"],
    ["Ωμέγα 中文 עברית"] + [""] * 14 + ["Note: x\u2028Email: y@z"],
    ["Tab\tin the name"] + [""] * 14 + [" spaced comment "],
    ["Same number twice", "", "", "", "", "", "1", "1"] + [""] * 8,
    ['Quote "q"'] + [""] * 14 + ['""'],
]
with open(sys.argv[1], "wb") as out:
    out.write(b"".join((field + "\r\n").encode() for entry in entries for field in entry))
PY

for book in "$work/generated/Numbers.dat" "$work/awkward.dat"; do
    for kind in vcf csv; do
        "$convert" "$book" "$work/out.$kind" && "$convert" "$work/out.$kind" "$work/back.dat" ||
            fail "$book to $kind and back exited $?"
        cmp -s "$book" "$work/back.dat" || fail "$(basename "$book") to $kind and back differs"
    done
done

for sample in "$source_dir"/tests/data/golden/*.{vcf,csv}; do
    page=1252
    grep -q '"Windows-1251"' "$sample.json" && page=1251
    "$convert" --code-page $page "$sample" "$work/first.dat" 2>/dev/null || fail "$sample could not be read"
    for kind in vcf csv; do
        "$convert" --to $kind "$work/first.dat" "$work/out" && "$convert" "$work/out" "$work/again.dat" ||
            fail "$(basename "$sample") to $kind and back exited $?"
        cmp -s "$work/first.dat" "$work/again.dat" || fail "$(basename "$sample") to $kind and back differs"
    done
done

# One line on standard error naming the file, exit 1, nothing written.
expect_failure() {
    local name=$1 target=$2
    shift 2
    local message
    message=$("$convert" "$@" 2>&1 >/dev/null)
    local status=$?
    [[ $status -eq 1 ]] || fail "$name: exit status $status"
    [[ $(wc -l <<<"$message") -eq 1 && $message == *"$target"* ]] || fail "$name: said '$message'"
}
expect_failure "missing input" "$work/none.vcf" "$work/none.vcf" "$work/never.csv"
[[ -e $work/never.csv ]] && fail "missing input: wrote an output"
touch "$work/plain"
expect_failure "folder that is a file" "$work/plain/out.vcf" "$work/awkward.dat" "$work/plain/out.vcf"
expect_failure "unknown --to" "--to" --to xls "$work/awkward.dat" "$work/out.xls"
printf 'John Doe,John,Doe,john@doe.invalid\nJane Doe,Jane,Doe,jane@doe.invalid\n' >"$work/no-header.csv"
expect_failure "CSV without a header row" "no-header.csv" "$work/no-header.csv" "$work/no-header.vcf"
[[ -e $work/no-header.vcf ]] && fail "CSV without a header row: wrote an output"

((failures == 0)) && echo "all conversions kept every entry"
exit $((failures > 0))
