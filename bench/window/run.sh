#!/usr/bin/env bash
# The window's share of the program's work during a large backup started by Alt+Z under a real X
# server (Xvfb and openbox): the CPU time of the window's thread (the process's main thread)
# against the CPU time of the whole process (every thread, those that ended included) from the
# key press to the title back at rest. The backup runs on threads of its own; the window only
# shows its progress.
#
# usage: bench/window/run.sh BUILD_DIR [MIB]   (the source's size, 2048 MiB unless given)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/x11/backup.sh"
fail() { echo "window: $*" >&2; exit 1; }
build=$(cd "${1:-build}" && pwd)
mib=${2:-2048}
require_backup_tools "$build"
make_work_folder window-share
start_x11_session "$work"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_STATE_HOME
prepare_backup "$build" "$work" "$mib"
cat "$work/src/"* > /dev/null

# User and system time in clock ticks: of the whole process ($1 the process), or of one thread.
ticks() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1"
}

start_program "$work"
sleep 1
process_before=$(ticks "/proc/$program_pid/stat")
window_before=$(ticks "/proc/$program_pid/task/$program_pid/stat")
start=$(date +%s.%N)
press_backup
for _ in $(seq 300); do
    [[ $(window_title) == "quenza Ostrivane - "* ]] && break
    sleep 0.1
done
[[ $(window_title) == "quenza Ostrivane - "* ]] || fail "Alt+Z started no backup"
while [[ $(window_title) != "quenza Ostrivane" ]]; do
    kill -0 "$program_pid" 2> /dev/null || fail "the program ended: $(cat "$work/program.log")"
    sleep 0.1
done
end=$(date +%s.%N)
process=$(($(ticks "/proc/$program_pid/stat") - process_before))
window_ticks=$(($(ticks "/proc/$program_pid/task/$program_pid/stat") - window_before))
[[ -f $work/dest/data.cab ]] || fail "no archive was written"
kill "$program_pid"

hz=$(getconf CLK_TCK)
printf 'backup of %d MiB from Alt+Z: %.1f s; CPU of the process %.2f s, of the window'"'"'s thread %.2f s\n' \
    "$mib" "$(echo "$end - $start" | bc -l)" "$(echo "$process / $hz" | bc -l)" "$(echo "$window_ticks / $hz" | bc -l)"
printf "window's thread / whole process: %.4f\n" "$(echo "$window_ticks / $process" | bc -l)"
