#!/usr/bin/env bash
# A backup started from the keyboard under a real X server (Xvfb and openbox), as a user starts
# it: Alt+Z in the main window.
#   - While it runs, the window's title follows its progress: the window's thread is free.
#   - SIGTERM in the middle of it (a logout) cancels the run, waits for it, writes the settings
#     and ends the program by the signal; the earlier archive stays exactly as it was and nothing
#     of the cancelled run is left in the destination or the temporary folder.
#   - The next start's Alt+Z writes a backup that cabextract tests whole, the earlier archive
#     moved to data_1.cab, and "Konec" (Alt+K) ends the program.
#
# usage: backup-under-x11.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../x11/backup.sh"
fail() { echo "backup-under-x11: $*" >&2; exit 1; }
build=$(cd "${1:?usage: backup-under-x11.sh BUILD_DIR}" && pwd)
require_backup_tools "$build" cabextract
make_work_folder x11-backup
start_x11_session "$work"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_STATE_HOME
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

prepare_backup "$build" "$work" 256
printf 'the earlier backup' > "$work/dest/data.cab"
earlier=$(sha256sum < "$work/dest/data.cab")

# Waits up to $2 tenths of a second for a title that matches the pattern $1; prints it.
wait_for_title() {
    local title
    for _ in $(seq "$2"); do
        title=$(window_title) && [[ $title =~ $1 ]] && { echo "$title"; return 0; }
        kill -0 "$program_pid" 2> /dev/null || fail "the program ended: $(cat "$work/program.log")"
        sleep 0.1
    done
    return 1
}

start_program "$work"
press_backup
wait_for_title '^quenza Ostrivane - [0-9]+%$' 300 > /dev/null ||
    fail "no progress in the title after Alt+Z: \"$(window_title)\""
# The title moves on while the backup runs.
seen=()
for _ in $(seq 40); do
    title=$(window_title)
    [[ ${#seen[@]} -gt 0 && ${seen[-1]} == "$title" ]] || seen+=("$title")
    ((${#seen[@]} >= 3)) && break
    sleep 0.05
done
((${#seen[@]} >= 3)) || fail "the title did not follow the backup: ${seen[*]}"
echo "backup-under-x11: the title followed the backup: ${seen[*]}"

kill -TERM "$program_pid"
status=0
for _ in $(seq 150); do
    kill -0 "$program_pid" 2> /dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2> /dev/null && fail "SIGTERM did not end the program within 15 s"
wait "$program_pid" 2> /dev/null || status=$?
[[ $status == 143 ]] || fail "after SIGTERM the program ended with status $status, not 143"
grep -q '^Soubor zálohy=data.cab'$'\r''$' <(iconv -f WINDOWS-1250 -t UTF-8 "$work/program/Ostrivane.ini") ||
    fail "the settings were not written: $(cat "$work/program/Ostrivane.ini")"
[[ $(sha256sum < "$work/dest/data.cab") == "$earlier" ]] || fail "the earlier archive changed"
left=$(ls -A "$work/dest" "$TMPDIR" | grep -v -e '^data.cab$' -e '^$' -e ':$' || true)
[[ -z $left ]] || fail "the cancelled run left files behind: $left"
echo "backup-under-x11: SIGTERM cancelled the backup, wrote the settings and left the series alone"

start_program "$work"
press_backup
wait_for_title '^quenza Ostrivane - ' 300 > /dev/null || fail "Alt+Z started no backup"
wait_for_title '^quenza Ostrivane$' 1200 > /dev/null || fail "the backup did not end within 120 s"
[[ $(sha256sum < "$work/dest/data_1.cab") == "$earlier" ]] ||
    fail "the earlier archive was not moved to data_1.cab"
cabextract -t "$work/dest/data.cab" > "$work/cabextract.log" 2>&1 ||
    fail "cabextract does not accept the backup: $(tail -5 "$work/cabextract.log")"
grep -q 'All done, no errors' "$work/cabextract.log" || fail "cabextract: $(cat "$work/cabextract.log")"
xdotool windowactivate --sync "$window" key --clearmodifiers alt+k || fail "could not press Alt+K"
for _ in $(seq 100); do
    kill -0 "$program_pid" 2> /dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2> /dev/null && fail "\"Konec\" did not end the program"
wait "$program_pid" || fail "the program ended with status $?"
echo "backup-under-x11: Alt+Z backed up, cabextract tested the archive, Alt+K ended the program"
