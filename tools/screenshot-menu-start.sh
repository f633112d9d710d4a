#!/usr/bin/env bash
# Takes the picture of the program as a user sees it after starting it from the desktop menu:
# installs BUILD into a scratch folder, gives it a phone book of twelve made-up contacts in
# $XDG_DATA_HOME/larkspan-cardindex, starts the menu entry's Exec line under Xvfb and saves the
# main window as OUT (a PNG). The AppStream file and the README show docs/menu-start.png.
#
#   tools/screenshot-menu-start.sh [BUILD [OUT]]      (default: build docs/menu-start.png)
#
# Needs xvfb, x11-utils (xwininfo), x11-apps (xwd) and python3.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
out=${2:-$source_dir/docs/menu-start.png}
work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT

DESTDIR=$work/dest cmake --install "$build" --prefix /usr >/dev/null
python3 "$source_dir/bench/make_numbers.py" 12 "$work/data/larkspan-cardindex" >/dev/null
source "$source_dir/tools/x-display.sh"
start_xvfb "$work"
export XDG_DATA_HOME=$work/data PATH=$work/dest/usr/bin:$PATH
read -r -a exec_line < <(sed -n 's/^Exec=//p' "$work/dest/usr/share/applications/org.larkspan.cardindex.desktop")
(cd / && exec env -u QT_QPA_PLATFORM "${exec_line[@]}" >/dev/null 2>&1) &
pids+=($!)
window=$(wait_for_window "Larkspan Card Index") || { echo "no window came up" >&2; exit 1; }
sleep 1 # let it paint
xwd -silent -id "$window" >"$work/window.xwd"
python3 "$source_dir/tools/xwd-to-png.py" "$work/window.xwd" "$out"
echo "$out"
