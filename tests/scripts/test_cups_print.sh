#!/usr/bin/env bash
# Prints an entry through a real CUPS server: starts a private cupsd on a socket of its own (the
# system's print server and its queues are left alone), gives it a PDF queue that writes to a
# file, and runs tst_cupsprint with the queue missing, working, rejecting jobs and disabled.
# Usage: test_cups_print.sh <build dir>. Exit 77 means skipped.
set -euo pipefail

build=${1:?usage: test_cups_print.sh <build dir>}
test_exe=$build/tests/tst_cupsprint
queue=cardindex-pdf

skip() {
    echo "SKIP: $*"
    exit 77
}

[[ -x $test_exe ]] || { echo "FAIL: $test_exe has not been built"; exit 1; }
[[ -x /usr/sbin/cupsd ]] || skip "cupsd is not installed (package cups)"
for tool in lpadmin lpinfo lpstat cupsreject cupsdisable pdftotext; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# cupsd runs the job filters as user lp, which only root may do.
[[ $(id -u) -eq 0 ]] || skip "a private cupsd can only be run as root here"

tmp=$(mktemp -d /tmp/cardindex-cups.XXXXXX)
# The filters, running as lp, reach the spool through this folder.
chmod 755 "$tmp"
cupsd_pid=
cleanup() {
    if [[ -n $cupsd_pid ]]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp"/{root,spool/tmp,cache,state,log,home}
cat >"$tmp/root/cups-files.conf" <<EOF
ServerRoot $tmp/root
RequestRoot $tmp/spool
TempDir $tmp/spool/tmp
CacheDir $tmp/cache
StateDir $tmp/state
ErrorLog $tmp/log/error_log
AccessLog $tmp/log/access_log
PageLog $tmp/log/page_log
Printcap $tmp/state/printcap
FileDevice Yes
EOF
cat >"$tmp/root/cupsd.conf" <<EOF
Listen $tmp/cups.sock
LogLevel info
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF

# Everything below talks to the private server only, with no user default printer in the way.
export CUPS_SERVER=$tmp/cups.sock
export HOME=$tmp/home
unset PRINTER LPDEST
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

/usr/sbin/cupsd -f -c "$tmp/root/cupsd.conf" -s "$tmp/root/cups-files.conf" >"$tmp/log/cupsd.out" 2>&1 &
cupsd_pid=$!
for _ in $(seq 100); do
    lpstat -r >/dev/null 2>&1 && break
    kill -0 "$cupsd_pid" 2>/dev/null || break
    sleep 0.1
done
if ! lpstat -r >/dev/null 2>&1; then
    cat "$tmp/log/cupsd.out" "$tmp/log/error_log" 2>/dev/null | tail -20
    skip "the private cupsd did not start"
fi

# Runs one case of tst_cupsprint; it must pass, not merely be skipped.
run_case() {
    local name=$1 output
    shift
    echo "--- $name"
    if ! output=$(env "$@" "$test_exe" "$name" 2>&1); then
        echo "$output"
        echo "FAIL: $name"
        exit 1
    fi
    echo "$output"
    grep -q "^PASS   : TestCupsPrint::$name()" <<<"$output" || { echo "FAIL: $name did not run"; exit 1; }
}

run_case missingPrinterIsReported CARDINDEX_CUPS_QUEUE=none

ppd=$(lpinfo -m | awk '/Generic-PDF_Printer-PDF/ { print $1; exit }')
[[ -n $ppd ]] || skip "the Generic PDF printer driver (package cups-filters) is not installed"
out=$tmp/out.pdf
lpadmin -p "$queue" -E -v "file://$out" -m "$ppd"
lpadmin -d "$queue"

run_case printsOnDefaultPrinter CARDINDEX_CUPS_OUTPUT="$out"

cupsreject "$queue"
run_case refusedJobIsReported CARDINDEX_CUPS_QUEUE=rejecting
cupsaccept "$queue"

cupsdisable "$queue"
run_case pausedQueueKeepsJob CARDINDEX_CUPS_QUEUE=paused
if [[ -z $(lpstat -o "$queue") ]]; then
    echo "FAIL: the disabled queue holds no job"
    exit 1
fi

echo "PASS: printing through CUPS"
