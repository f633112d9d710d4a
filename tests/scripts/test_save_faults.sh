#!/usr/bin/env bash
# Runs the save-fault tests where they mean something: permission cases as an unprivileged user
# (root ignores permission bits), the full disk on a small tmpfs in a private mount namespace.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$build/tests/tst_savefaults" "$work/"
ran=0
failed=0

if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null; then
    echo "== permission cases as user 65534"
    if setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" TMPDIR=/tmp \
        XDG_RUNTIME_DIR="$work" "$work/tst_savefaults" readOnlyFolder_reportsOnceAndKeepsFile \
        readOnlyFile_reportsOnceAndKeepsFile; then ran=1; else failed=1; fi
elif [[ $(id -u) -ne 0 ]]; then
    echo "== permission cases as $(id -un)"
    if "$work/tst_savefaults" readOnlyFolder_reportsOnceAndKeepsFile readOnlyFile_reportsOnceAndKeepsFile; then
        ran=1; else failed=1; fi
else
    echo "skipping permission cases: setpriv is missing"
fi

mnt="$work/small"
mkdir -p "$mnt"
if unshare -m true 2>/dev/null; then
    echo "== full disk on a 1 MiB tmpfs"
    if unshare -m bash -c "mount -t tmpfs -o size=1m tmpfs '$mnt' && CARDINDEX_SMALL_FS='$mnt' \
        '$work/tst_savefaults' fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds"; then ran=1; else failed=1; fi
else
    echo "skipping the full-disk case: this machine does not allow private mount namespaces (unshare -m)"
fi

[[ $failed -ne 0 ]] && exit 1
[[ $ran -eq 0 ]] && exit 77
exit 0
