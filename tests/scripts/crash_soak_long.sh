#!/usr/bin/env bash
# The long run of the crash test: 300 kills of a saving process instead of the 30 of `make test`.
# Not run by ctest (its name does not start with test_); run it by hand after changing how the
# data file is saved:
#     tests/scripts/crash_soak_long.sh build [kills]
# CARDINDEX_CRASH_SEED=<seed> repeats the kill moments of an earlier run.
set -eu
build=${1:-build}
kills=${2:-300}
test=$build/tests/tst_crashsave
if [[ ! -x $test ]]; then
    echo "$test is missing: build first (cmake --build $build)" >&2
    exit 1
fi
# Qt Test's watchdog stops a test function after five minutes unless told otherwise.
export QTEST_FUNCTION_TIMEOUT=$((600000 + kills * 10000))
export CARDINDEX_CRASH_KILLS=$kills QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
"$test" killedSaves_leaveOldOrNewFile
