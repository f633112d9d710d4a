#!/usr/bin/env bash
# Runs the permission cases of the save-fault tests as an unprivileged user, because root ignores
# permission bits. The full disk and read-only media cases are in test_media_faults.sh.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$build/tests/tst_savefaults" "$work/"
cases=(readOnlyFolder_reportsOnceAndKeepsFile readOnlyFile_reportsOnceAndKeepsFile)

if [[ $(id -u) -eq 0 ]]; then
    if ! command -v setpriv >/dev/null; then
        echo "skipping the permission cases: setpriv (util-linux) is missing"
        exit 77
    fi
    echo "== permission cases as user 65534"
    setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" TMPDIR=/tmp \
        XDG_RUNTIME_DIR="$work" "$work/tst_savefaults" "${cases[@]}"
else
    echo "== permission cases as $(id -un)"
    "$work/tst_savefaults" "${cases[@]}"
fi
