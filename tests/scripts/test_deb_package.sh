#!/usr/bin/env bash
# The Debian package as a user gets it: cpack builds it from this build folder, `apt-get install`
# installs it (its dependencies are on the machine already), /usr/bin/cardindex started under Xvfb
# in a scratch folder shows its window and makes an empty "Numbers.dat" there, and the package is
# removed again. Needs root; skipped otherwise, and on a machine that has the package already.
set -u
build=$1
package=larkspan-cardindex
[[ $(id -u) -eq 0 ]] || { echo "SKIP: installing a package needs root"; exit 77; }
if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "ok installed" || [[ -e /usr/bin/cardindex ]]; then
    echo "SKIP: $package or /usr/bin/cardindex is installed already; not touching it"
    exit 77
fi
work=$(mktemp -d)
installed=0
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    [[ $installed -eq 1 ]] && dpkg -r $package >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/package/${package}_*.deb)
[[ -f $deb ]] || { echo "FAIL: cpack made no $package .deb"; exit 1; }
for field in Package Version Maintainer Section Description; do
    [[ -n $(dpkg-deb -f "$deb" $field) ]] || fail "the package has no $field"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6 libqt6printsupport6 libicu72; do
    [[ $depends == *"$library"* ]] || fail "Depends ($depends) lacks $library"
done
dpkg-deb -c "$deb" | grep -E 'tst_|bench|fuzz' && fail "the package holds tests, benchmarks or fuzz targets"

DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
installed=1

source "$(dirname "$0")/../../tools/x-display.sh"
start_xvfb "$work" || { echo "FAIL: Xvfb did not start"; exit 1; }
mkdir "$work/run"
(cd "$work/run" && exec env -u QT_QPA_PLATFORM /usr/bin/cardindex >"$work/run.log" 2>&1) &
pids+=($!)
wait_for_window "Larkspan Card Index" >/dev/null ||
    fail "no window \"Larkspan Card Index\" came up: $(cat "$work/run.log")"
[[ -f $work/run/Numbers.dat && ! -s $work/run/Numbers.dat ]] || fail "no empty Numbers.dat in the folder it started in"

kill "${pids[-1]}"
dpkg -r $package >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "dpkg -r"; }
installed=0
dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "ok installed" && fail "the package is still installed"
[[ -e /usr/bin/cardindex || -e /usr/lib/cardindex ]] && fail "removing the package left its files"

[[ $failures -eq 0 ]] && echo "PASS: the package installs, starts, shows its window and removes"
exit $((failures > 0))
