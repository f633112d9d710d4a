#!/usr/bin/env bash
# Runs the full-disk and read-only media cases of the save-fault tests on a small tmpfs of their
# own, mounted in a private mount namespace so that nothing outside the test sees it. Where the
# machine does not allow private mount namespaces (unshare -m), says so and skips (exit 77).
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mnt="$work/small"
mkdir -p "$mnt"

if ! unshare -m true 2>/dev/null; then
    echo "skipping the full-disk and read-only media cases: this machine does not allow private" \
        "mount namespaces (unshare -m)"
    exit 77
fi

# unshare makes the new namespace's mounts private, so the tmpfs vanishes with the namespace.
# The Qt Test output goes to stdout; the exit status is the test's.
echo "== full disk and read-only media on a 1 MiB tmpfs"
unshare -m bash -c '
    set -e
    mount -t tmpfs -o size=1m,mode=0755 tmpfs "$1"
    CARDINDEX_SMALL_FS="$1" "$2/tests/tst_savefaults" \
        fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds \
        readOnlyMedia_reportsOnceKeepsFileAndLaterSaveSucceeds
' media-faults "$mnt" "$build"
