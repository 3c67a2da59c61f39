# A private X display for the tests that drive the program under a real X server: Xvfb on a free
# display number with the openbox window manager on it.
#
# Source this file, then call `start_x11_session WORK`: it exports DISPLAY, appends both
# processes to the caller's `pids` array (for the caller's clean-up) and calls the caller's
# `fail` when either does not come up. Logs go to WORK/xvfb.log and WORK/openbox.log.

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
