#!/usr/bin/env bash
# Checks that each layer of the program includes only what lies below it:
#
#   tools/check-layers.sh SRC_DIR QT_INCLUDE_DIR...
#
# QT_INCLUDE_DIR: the include folders of the Qt modules the data layer must not use (QtGui,
# QtWidgets, QtPrintSupport; ctest passes those of Qt's CMake targets). Every header in them is
# refused to data/ whether written <QImage>, "QImage" or <QtGui/QImage>.
#
# The layers, lowest first: data/ (Qt Core only), common/ (Qt only), then addentry/ and print/,
# then mainwindow/, which only main.cpp includes. convert/ (the command-line converter) keeps to
# the rules of data/, on which alone it builds. Each include that breaks this is printed as
# FILE:LINE: #include ... -- RULE, and the script fails.
set -euo pipefail

src=${1:?usage: check-layers.sh SRC_DIR QT_INCLUDE_DIR...}
shift
src=$(cd "$src" && pwd)
top=$(dirname "$src")

declare -A window_header=() # header name -> the Qt module folder it is in
declare -A window_module=()
for dir in "$@"; do
    [[ -d $dir ]] || { echo "check-layers: $dir is not a folder" >&2; exit 2; }
    module=$(basename "$dir")
    window_module[$module]=1
    for header in "$dir"/*; do
        [[ -f $header ]] && window_header[$(basename "$header")]=$module
    done
done
if ((${#window_header[@]} == 0)); then
    echo "check-layers: no Qt Gui, Widgets or PrintSupport headers given" >&2
    exit 2
fi

# Sets `resolved` to the path without "." and "..": an include written with ".." still names
# the folder it reaches.
normalize() {
    local part out=()
    local IFS=/
    for part in $1; do
        case $part in
        '' | .) ;;
        ..) ((${#out[@]})) && unset 'out[-1]' ;;
        *) out+=("$part") ;;
        esac
    done
    resolved="${out[*]}"
}

# Sets `rule` to the rule an include of `name` (reaching `resolved` below src/) from layer
# `from` breaks, or to nothing.
broken_rule() {
    local from=$1 name=$2
    local to=${resolved%%/*}
    [[ $resolved == */* ]] || to=
    rule=
    if [[ $from == data || $from == convert ]]; then
        local module=${window_header[$name]:-}
        [[ -z $module && $name == */* && -n ${window_module[${name%%/*}]:-} ]] && module=${name%%/*}
        if [[ -n $module ]]; then
            rule="$from/ uses Qt Core only, and this header belongs to ${module}"
        elif [[ $to =~ ^(common|mainwindow|addentry|print)$ ]]; then
            rule="$from/ includes nothing of common/, mainwindow/, addentry/ or print/"
        fi
    elif [[ $from == common ]]; then
        if [[ $to =~ ^(data|mainwindow|addentry|print)$ ]]; then
            rule="common/ includes Qt only: nothing of data/, mainwindow/, addentry/ or print/"
        fi
    elif [[ $to == mainwindow && $from != mainwindow ]]; then
        if [[ $from == addentry || $from == print ]]; then
            rule="addentry/ and print/ do not include mainwindow/"
        elif [[ $from != main.cpp ]]; then
            rule="only main.cpp includes mainwindow/ from outside it"
        fi
    fi
}

violations=0
files=0
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)([>"])'
while IFS= read -r -d '' file; do
    ((++files))
    rel=${file#"$src"/}
    from=${rel%%/*}
    [[ $rel == */* ]] || from=$rel
    here=.
    [[ $rel == */* ]] && here=${rel%/*}
    while IFS=: read -r number text; do
        [[ $text =~ $include_re ]] || continue
        open=${BASH_REMATCH[1]} name=${BASH_REMATCH[2]} close=${BASH_REMATCH[3]}
        # A quoted include is looked for beside the file first, as the compiler does.
        if [[ $open == '"' && -e ${file%/*}/$name ]]; then
            normalize "$here/$name"
        else
            normalize "$name"
        fi
        broken_rule "$from" "$name"
        if [[ -n $rule ]]; then
            echo "${file#"$top"/}:$number: #include $open$name$close -- $rule"
            ((++violations))
        fi
    done < <(grep -nE "$include_re" "$file" || true)
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if ((violations)); then
    echo "check-layers: $violations includes break the layers of ${src#"$top"/}/" >&2
    exit 1
fi
echo "check-layers: the $files files of ${src#"$top"/}/ keep to their layers"
