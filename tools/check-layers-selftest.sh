#!/usr/bin/env bash
# Runs tools/check-layers.sh on a scratch tree that breaks each of its rules once, beside includes
# that every layer may make, and fails unless exactly the broken ones are named.
#
#   tools/check-layers-selftest.sh QT_INCLUDE_DIR...      (the folders check-layers.sh is given)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
src=$scratch/src

# put FILE LINE...: writes the lines into src/FILE.
put() {
    mkdir -p "$(dirname "$src/$1")"
    printf '%s\n' "${@:2}" >"$src/$1"
}
put data/Record.h '#pragma once' '#include <QString>' '#include <QtCore/QList>'
put data/exchange/Card.h '#include "data/Record.h"'
put data/exchange/Card.cpp '#include "Card.h"' '#include <QImage>'
put data/Paint.cpp '// a comment: #include <QWidget>' '  #  include <QtWidgets/QWidget>'
put data/Ask.cpp '#include "../common/Box.h"'
put common/Box.h '#include <QMessageBox>' '#include <QPrinter>'
put common/Box.cpp '#include "Box.h"' '#include "data/Record.h"'
put print/Page.cpp '#include "common/Box.h"' '#include "data/Record.h"' '#include "mainwindow/Form1.h"'
put addentry/Form2.cpp '#include "mainwindow/Form1.h"'
put mainwindow/Form1.h '#include "addentry/Form2.h"' '#include "print/Page.h"'
put mainwindow/Form1.cpp '#include "Form1.h"' '#include "common/Box.h"' '#include "data/Record.h"'
put Helper.cpp '#include "mainwindow/Form1.h"'
put main.cpp '#include "mainwindow/Form1.h"'

expected=(
    "src/Helper.cpp:1: only main.cpp"
    "src/addentry/Form2.cpp:1: addentry/ and print/"
    "src/common/Box.cpp:2: common/ includes"
    "src/data/Ask.cpp:1: data/ includes nothing"
    "src/data/Paint.cpp:2: data/ uses Qt Core only"
    "src/data/exchange/Card.cpp:2: data/ uses Qt Core only"
    "src/print/Page.cpp:3: addentry/ and print/"
)

output=$(bash "$here/check-layers.sh" "$src" "$@" 2>&1) && status=0 || status=$?
if ((status != 1)); then
    echo "FAIL: check-layers.sh exited with $status, not 1:"
    echo "$output"
    exit 1
fi
# Each reported line, cut to FILE:LINE: and the start of its rule.
found=$(grep -E '^src/' <<<"$output" | sed -E 's/^([^ ]+) #include [^ ]+ -- /\1 /')
failed=0
for line in "${expected[@]}"; do
    grep -F "${line%%: *}: " <<<"$found" | grep -qF "${line#*: }" ||
        { echo "FAIL: not reported: $line"; failed=1; }
done
if (($(grep -c . <<<"$found") != ${#expected[@]})); then
    echo "FAIL: $(grep -c . <<<"$found") lines reported, not ${#expected[@]}"
    failed=1
fi
if ((failed)); then
    echo "$output"
    exit 1
fi
echo "check-layers.sh names each of the ${#expected[@]} broken rules and nothing else"
