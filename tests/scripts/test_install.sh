#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR lays out exactly the installed files (the program in
# lib/cardindex beside its hand cursor, links and icons, nothing of the tests, benchmarks or fuzz
# targets); the menu entry and the AppStream file pass their validators; the program started the
# way the menu entry starts it keeps its phone book in $XDG_DATA_HOME/larkspan-cardindex, started
# from a terminal in the current folder.
set -u
build=$1
work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
id=org.larkspan.cardindex

dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; exit 1; }
prefix=$dest/usr/local
(cd "$prefix" && find . \( -type f -o -type l \) | sort) >"$work/installed"
expected=(bin/cardindex bin/cardindex-convert lib/cardindex/HAND-M.CUR lib/cardindex/cardindex
          share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg
          share/metainfo/$id.metainfo.xml)
for size in 16 22 24 32 48 64 128 256; do
    expected+=(share/icons/hicolor/${size}x$size/apps/$id.png)
done
printf './%s\n' "${expected[@]}" | sort >"$work/expected"
diff -u "$work/expected" "$work/installed" || fail "the installed files are not the expected ones"
[[ -L $prefix/bin/cardindex && $(readlink "$prefix/bin/cardindex") == ../lib/cardindex/cardindex ]] ||
    fail "bin/cardindex is not a relative link to lib/cardindex/cardindex"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
# The tree as a whole: the AppStream file, and the menu entry and icon it names.
appstreamcli validate-tree --no-net --pedantic "$prefix" >"$work/as.log" ||
    { cat "$work/as.log"; fail "appstreamcli validate-tree"; }

# Starts the installed program in folder $1 with the rest as its command line, and waits until
# it has made FILE $2 (an empty phone book) or gives up.
start_and_wait() {
    local folder=$1 made=$2
    shift 2
    (cd "$folder" && exec "$@" >>"$work/run.log" 2>&1) &
    pids+=($!)
    for _ in $(seq 100); do
        [[ -e $made ]] && { kill "${pids[-1]}"; return 0; }
        sleep 0.1
    done
    kill "${pids[-1]}"
    return 1
}
read -r -a exec_line < <(sed -n 's/^Exec=//p' "$prefix/share/applications/$id.desktop")
mkdir -p "$work/menu-cwd" "$work/terminal"
export PATH=$prefix/bin:$PATH XDG_DATA_HOME=$work/data
start_and_wait "$work/menu-cwd" "$work/data/larkspan-cardindex/Numbers.dat" "${exec_line[@]}" ||
    fail "a menu start (${exec_line[*]}) made no phone book in \$XDG_DATA_HOME/larkspan-cardindex"
[[ -z $(ls -A "$work/menu-cwd") ]] || fail "a menu start wrote into the folder it was started in"
start_and_wait "$work/terminal" "$work/terminal/Numbers.dat" cardindex ||
    fail "a start from a terminal made no phone book in the current folder"
[[ -s $work/terminal/Numbers.dat ]] && fail "the new phone book is not empty"

# A data folder that cannot be made is reported, and the program stops.
XDG_DATA_HOME=$work/terminal/Numbers.dat timeout 5 cardindex --menu 2>"$work/err.log" &&
    fail "the program went on without its data folder"
grep -q "larkspan-cardindex, cannot be used: Not a directory" "$work/err.log" ||
    fail "no clear report of the data folder that could not be made: $(cat "$work/err.log")"

[[ $failures -eq 0 ]] && echo "PASS: installed files, menu entry, AppStream file, start folders"
exit $((failures > 0))
