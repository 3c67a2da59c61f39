# A private X display for the tests that drive the program under a real X server: Xvfb on a free
# display number with the openbox window manager on it.
#
# Source this file, then call `make_work_folder NAME` for the scratch folder `work` and the `pids`
# array, both cleaned up at exit, and `start_x11_session WORK`: it exports DISPLAY, appends both
# processes to the caller's `pids` array (for the caller's clean-up) and calls the caller's
# `fail` when either does not come up. Logs go to WORK/xvfb.log and WORK/openbox.log.
# `wait_for_window PID TITLE LOG` then waits for the program's window.

# Makes the caller's scratch folder `work` (ostrivane-NAME.XXXXXX under $TMPDIR) and its empty
# `pids` array; at exit the processes in `pids` are ended, the last started first, and the folder
# is removed.
make_work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/ostrivane-$1.XXXXXX")
    pids=()
    trap remove_work_folder EXIT
}

remove_work_folder() {
    local i pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
    done
    rm -rf "$work"
}

start_x11_session() {
    local work=$1 fd
    # Xvfb writes its display number to the descriptor once it accepts clients.
    exec {fd}> "$work/display"
    Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
    pids+=($!)
    exec {fd}>&-
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n1 "$work/display")"

    HOME=$work/openbox-home openbox --sm-disable > "$work/openbox.log" 2>&1 &
    pids+=($!)
    # A window mapped while the window manager is still starting can end up unmanaged and
    # unmapped: wait until openbox has announced itself on the root window.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "openbox did not start: $(cat "$work/openbox.log")"
}

# Waits up to 30 s until the window named TITLE of the program PID is viewable and sets x, y, w
# and h to its place and size; calls `fail` (with the program's LOG) when the program ends first
# or no such window appears.
wait_for_window() {
    local pid=$1 title=$2 log=$3 info
    for _ in $(seq 150); do
        kill -0 "$pid" 2> /dev/null || fail "the program ended early: $(cat "$log")"
        if info=$(xwininfo -name "$title" 2> /dev/null) && grep -q 'Map State: IsViewable' <<< "$info"; then
            x=$(awk '/Absolute upper-left X/ {print $NF}' <<< "$info")
            y=$(awk '/Absolute upper-left Y/ {print $NF}' <<< "$info")
            w=$(awk '/Width:/ {print $NF}' <<< "$info")
            h=$(awk '/Height:/ {print $NF}' <<< "$info")
            return 0
        fi
        sleep 0.2
    done
    fail "no window \"$title\" appeared: $(xwininfo -root -tree | head -40)"
}
