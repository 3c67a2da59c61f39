#!/usr/bin/env bash
# The program ended by the signals of a session's end, as a logout or a closed terminal sends
# them. It runs on the offscreen platform from a temporary copy of its folder, with a temporary
# HOME:
#   - SIGTERM and SIGHUP: the program ends by that signal, and its settings file (saved as UTF-8
#     by an editor) has been written back on the way, in Windows-1250 with every key of a close;
#   - SIGTERM when the settings cannot be written anywhere: the program still ends by it (no box
#     asks anything on the way).
#
# usage: end-by-signal.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: end-by-signal.sh BUILD_DIR}
build=$(cd "$build" && pwd)

fail() {
    echo "end-by-signal: $*" >&2
    exit 1
}

[[ -x $build/ostrivane ]] || fail "$build/ostrivane is not built"
command -v iconv > /dev/null || fail "iconv is missing"

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrivane-end.XXXXXX")
program_pid=
cleanup() {
    [[ -n $program_pid ]] && kill -KILL "$program_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY XDG_CONFIG_HOME
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Starts a fresh copy of the program in $work/$1 with HOME=$work/$1-home and waits until its
# orderly end is set up: it then catches SIGALRM, the alarm of that end (bit 13 of SigCgt).
start_program() {
    local folder=$work/$1
    mkdir -p "$folder"
    cp "$build/ostrivane" "$folder/"
    [[ -f $build/libcabinet.so ]] && cp "$build/libcabinet.so" "$folder/"
    HOME=$work/$1-home "$folder/ostrivane" >> "$work/program.log" 2>&1 &
    program_pid=$!
    local caught
    for _ in $(seq 200); do
        # Read once the shell's child has become the program: before its exec it is a copy of
        # the shell, which catches SIGALRM too.
        caught=$(awk '/^Name:/ { name = $2 } /^SigCgt:/ { if (name == "ostrivane") print $2 }' \
            "/proc/$program_pid/status" 2> /dev/null) ||
            fail "the program ended at start: $(cat "$work/program.log")"
        [[ -n $caught ]] && (((0x$caught >> 13) & 1)) && return 0
        sleep 0.1
    done
    fail "the program did not set up its orderly end within 20 s"
}

# Sends signal $1 and expects the program to end by it within 30 s.
end_by() {
    kill "-$1" "$program_pid"
    # (quiet: bash itself would report the signal that ended its child)
    local status=0
    {
        for _ in $(seq 300); do
            kill -0 "$program_pid" || break
            sleep 0.1
        done
        kill -0 "$program_pid" || wait "$program_pid" || status=$?
    } 2> /dev/null
    kill -0 "$program_pid" 2> /dev/null && fail "SIG$1 did not end the program within 30 s"
    program_pid=
    local expected=$((128 + $(kill -l "$1")))
    [[ $status == "$expected" ]] ||
        fail "after SIG$1 the program ended with status $status, not $expected"
}

for signal in TERM HUP; do
    folder=saved-$signal
    mkdir -p "$work/$folder" "$work/$folder-home"
    printf '[Nastavení]\r\nAutomatická záloha=1\r\nPondělí=1\r\n' > "$work/$folder/Ostrivane.ini"
    start_program "$folder"
    end_by "$signal"
    settings=$work/$folder/Ostrivane.ini
    ! iconv -f UTF-8 -t UTF-8 "$settings" > /dev/null 2>&1 ||
        fail "SIG$signal: the settings file is still UTF-8: $(cat "$settings")"
    text=$(iconv -f WINDOWS-1250 -t UTF-8 "$settings")
    for line in "Automatická záloha=1" "Pondělí=1" "Neděle čas=12:00" \
        "RadioGroup název souboru=0"; do
        grep -qx -- "$line"$'\r' <<< "$text" ||
            fail "SIG$signal: \"$line\" is not in the settings file: $text"
    done
    echo "end-by-signal: SIG$signal wrote the settings and ended the program"
done

# Nowhere to write: a folder in the file's place beside the program, and a file where the
# user's configuration folder would be made.
mkdir -p "$work/unsaved/Ostrivane.ini" "$work/unsaved-home"
touch "$work/unsaved-home/.config"
start_program unsaved
end_by TERM
[[ -d $work/unsaved/Ostrivane.ini && -f $work/unsaved-home/.config ]] ||
    fail "something was written in place of the settings"
echo "end-by-signal: SIGTERM ended the program that could not write its settings"
