# A copy of the program under the private X display of session.sh, set up to back up one source
# folder, and the steps a user takes with it: the backup started by Alt+Z in the main window.
#
# Source this file (it sources session.sh), call `require_backup_tools BUILD_DIR [TOOL...]` (it calls the
# caller's `fail` when a tool or the built program is missing), `make_work_folder` and
# `start_x11_session`, then
# `prepare_backup BUILD_DIR WORK MIB` (a source of MIB MiB, half random and half text, into the
# empty folder WORK/dest as data.cab), `start_program WORK` (sets program_pid and the window's
# id `window`) and `press_backup`. `window_title` reads the main window's title.

source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

require_backup_tools() {
    local build=$1 tool
    shift
    for tool in Xvfb openbox xprop xwininfo xdotool iconv "$@"; do
        command -v "$tool" > /dev/null || fail "$tool is missing (run tools/install-deps.sh)"
    done
    [[ -x $build/ostrivane && -f $build/libcabinet.so ]] || fail "the program is not built in $build"
}

prepare_backup() {
    local build=$1 work=$2 mib=$3
    mkdir -p "$work/program" "$work/home" "$work/runtime" "$work/src" "$work/dest"
    chmod 700 "$work/runtime"
    cp "$build/ostrivane" "$build/libcabinet.so" "$work/program/"
    head -c $((mib / 2 * 1024 * 1024)) /dev/urandom > "$work/src/random.bin"
    (set +o pipefail; yes "Ostrivane zálohuje soubory do archívu cab, řádek za řádkem." |
        head -c $((mib / 2 * 1024 * 1024)) > "$work/src/text.txt")
    printf '[Nastavení]\r\nAdresář zálohy=%s\r\nSoubor zálohy=data.cab\r\nHloubka zálohy=1\r\n[Archivace]\r\nAdresář 0=%s\r\nPřípona 0=*.*\r\n' \
        "$work/dest" "$work/src" | iconv -f UTF-8 -t WINDOWS-1250 > "$work/program/Ostrivane.ini"
}

start_program() {
    local work=$1
    HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb \
        "$work/program/ostrivane" >> "$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    wait_for_window "$program_pid" "quenza Ostrivane" "$work/program.log"
    window=$(xdotool search --sync --pid "$program_pid" --name '^quenza Ostrivane$' | head -n1)
}

press_backup() {
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+z ||
        fail "could not press Alt+Z"
}

window_title() {
    xdotool getwindowname "$window" 2> /dev/null
}
