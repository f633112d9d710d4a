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
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") XDG_DATA_HOME=$work/data PATH=$work/dest/usr/bin:$PATH
read -r -a exec_line < <(sed -n 's/^Exec=//p' "$work/dest/usr/share/applications/org.larkspan.cardindex.desktop")
(cd / && exec env -u QT_QPA_PLATFORM "${exec_line[@]}" >/dev/null 2>&1) &
pids+=($!)
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree | awk '/"Larkspan Card Index"/ {print $1; exit}')
    [[ -n $window ]] && break
    sleep 0.2
done
[[ -n $window ]] || { echo "no window came up" >&2; exit 1; }
sleep 1 # let it paint
xwd -silent -id "$window" >"$work/window.xwd"
python3 "$source_dir/tools/xwd-to-png.py" "$work/window.xwd" "$out"
echo "$out"
