# Shell functions for the scripts that start the program on a real X display; source this file.
#
#   start_xvfb FOLDER       starts Xvfb on a free display and exports DISPLAY; Xvfb's pid is added
#                           to the caller's array `pids`, which the caller ends on exit
#   wait_for_window TITLE   prints the id of the window named TITLE once it is up (30 s at most);
#                           fails if none comes up
# Needs xvfb and x11-utils (xwininfo).

start_xvfb() {
    local number=$1/display-number
    exec 3>"$number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    for _ in $(seq 100); do
        [[ -s $number ]] && break
        sleep 0.1
    done
    [[ -s $number ]] || return 1
    export DISPLAY=:$(cat "$number")
}

wait_for_window() {
    local id
    for _ in $(seq 150); do
        id=$(xwininfo -root -tree 2>/dev/null | awk -v title="\"$1\"" 'index($0, title) {print $1; exit}')
        [[ -n $id ]] && echo "$id" && return 0
        sleep 0.2
    done
    return 1
}
