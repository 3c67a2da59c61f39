#!/usr/bin/env bash
# The installed program as an ordinary user sees it. Installs the build into a root-owned prefix
# (cmake --install with DESTDIR, as the package lays it out under /usr), then, on a private Xvfb
# display with openbox, starts it through its starter script as the unprivileged user 65534 with
# an empty home, and closes it with "Konec" (Alt+K):
#   - the program ends within a few seconds (no "Unable to write" box holds it open);
#   - its settings file is ~/.config/ostrivane/Ostrivane.ini, folders mode 0700, and nothing was
#     written into the program's folder;
#   - a source put into that file is shown in the grid on the next start (read back from the
#     screen by OCR) and is still in the file after the next close (it was loaded: the close
#     rewrites the source list from what the window holds);
#   - the front end in <prefix>/bin reads that same file with --settings (making the documents
#     folder it names), and backs up a settings file it is given with the library of the
#     program's folder.
#
# usage: run-installed.sh BUILD_DIR        (needs root to hand the run to user 65534; else skips)
set -euo pipefail

build=${1:?usage: run-installed.sh BUILD_DIR}
build=$(cd "$build" && pwd)
skip=77
user=65534
title="quenza Ostrivane"

fail() {
    echo "install: $*" >&2
    exit 1
}

if [[ $(id -u) -ne 0 ]]; then
    echo "install: needs root to install into a root-owned prefix and run as user $user"
    exit $skip
fi
for tool in Xvfb openbox xprop xwininfo xdotool import convert tesseract setpriv iconv; do
    command -v "$tool" > /dev/null || fail "$tool is missing (run tools/install-deps.sh)"
done

source "$(dirname "$0")/../x11/session.sh"
make_work_folder install
chmod 755 "$work"

DESTDIR=$work/root cmake --install "$build" --prefix /usr > "$work/install.log" ||
    fail "install failed: $(cat "$work/install.log")"
program_dir=$work/root/usr/lib/ostrivane
starter=$work/root/usr/bin/ostrivane
[[ -x $starter && -x $program_dir/ostrivane && -f $program_dir/libcabinet.so ]] ||
    fail "the installation lacks the starter, the program or the library"

home=$work/home
runtime=$work/runtime
mkdir -p "$home" "$runtime"
chown "$user:$user" "$home" "$runtime"
chmod 700 "$home" "$runtime"

start_x11_session "$work"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_CONFIG_HOME

# Starts the installed program as the user, from the menu's command, with nothing of root's
# environment; waits until its main window is viewable and sets `program_pid` and x, y.
start_program() {
    setpriv --reuid="$user" --regid="$user" --clear-groups \
        env -i HOME="$home" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb \
        PATH=/usr/bin:/bin LANG=C.UTF-8 "$starter" >> "$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    wait_for_window "$program_pid" "$title" "$work/program.log"
    sleep 1
}

# Presses "&Konec" by its accelerator and waits at most five seconds for the program to end.
close_with_konec() {
    xdotool search --name "^$title\$" windowactivate --sync key --clearmodifiers alt+k ||
        fail "could not press Alt+K"
    for _ in $(seq 50); do
        kill -0 "$program_pid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2> /dev/null; then
        import -window root "$build/install-stuck.png" 2> /dev/null || true
        fail "\"Konec\" did not end the program within 5 s (screen in $build/install-stuck.png)"
    fi
    wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
}

settings=$home/.config/ostrivane/Ostrivane.ini

start_program
close_with_konec
echo "install: the first start ended by Konec"
[[ -f $settings ]] || fail "no settings file in ~/.config/ostrivane: $(find "$home" | head -20)"
[[ ! -e $program_dir/Ostrivane.ini ]] || fail "a settings file was written into $program_dir"
[[ $(stat -c %u "$settings") == "$user" ]] || fail "the settings file does not belong to the user"
for folder in "$home/.config" "$home/.config/ostrivane"; do
    [[ $(stat -c %a "$folder") == 700 ]] || fail "$folder has mode $(stat -c %a "$folder"), not 700"
done
grep -q "^Soubor zálohy=Záloha.zip"$'\r'"\$" <(iconv -f WINDOWS-1250 -t UTF-8 "$settings") ||
    fail "the settings file is not Windows-1250 text with CRLF: $(head -c 200 "$settings" | od -c | head)"

# A source put into the file, as the user's own editor would.
printf '[Archivace]\r\nAdresář 0=/srv/Fotografie\r\nPřípona 0=*.jpg\r\n' |
    iconv -f UTF-8 -t WINDOWS-1250 >> "$settings"

start_program
import -window root "$work/second.png"
# The grid's first rows, three times larger and in grey, as OCR reads small UI text best.
convert "$work/second.png" -crop "330x60+$((x + 6))+$((y + 26))" +repage -colorspace Gray \
    -resize 300% "$work/grid.png"
tesseract "$work/grid.png" "$work/ocr" -l ces+eng --psm 6 > /dev/null 2>&1 || fail "tesseract failed"
ocr=$(tr -s ' \n' ' ' < "$work/ocr.txt")
echo "install: OCR of the grid: $ocr"
grep -q "Fotografie" <<< "$ocr" || {
    cp "$work/second.png" "$build/install-grid.png"
    fail "the source from the settings file is not shown (screen in $build/install-grid.png)"
}
close_with_konec
grep -q "^Adresář 0=/srv/Fotografie"$'\r'"\$" <(iconv -f WINDOWS-1250 -t UTF-8 "$settings") ||
    fail "the source did not survive the next close"
echo "install: the settings live in ~/.config/ostrivane and a source put there is shown and kept"

# The front end as a timer runs it: through its link in bin/, as the user, with nothing of root's
# environment. Without a file named it takes the window's file: its destination, the documents
# folder of this new account, is made for the backup, which fails as its source (/srv/Fotografie)
# is missing, naming the archive the window's file gives. Given a file, it backs up what that file
# describes.
run_front_end() {
    setpriv --reuid="$user" --regid="$user" --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$work/root/usr/bin/ostrivane-cab" "$@"
}
output=$(run_front_end --settings 2>&1) && fail "--settings backed up a missing source: $output"
grep -q "$home/Documents/Záloha.cab" <<< "$output" ||
    fail "--settings did not read the window's file: $output"
[[ -d $home/Documents && $(stat -c %U "$home/Documents") != root ]] ||
    fail "--settings did not make the documents folder for the user: $output"
mkdir -p "$home/data" "$home/zalohy"
echo "for the timer" > "$home/data/a.txt"
chown -R "$user:$user" "$home/data" "$home/zalohy"
printf '[Nastavení]\r\nAdresář zálohy=%s\r\nSoubor zálohy=data.cab\r\n[Archivace]\r\nAdresář 0=%s\r\nPřípona 0=*.*\r\n' \
    "$home/zalohy" "$home/data" | iconv -f UTF-8 -t WINDOWS-1250 > "$work/timer.ini"
chmod 644 "$work/timer.ini"
output=$(run_front_end --settings --quiet "$work/timer.ini" 2>&1) ||
    fail "the front end's backup of a settings file failed: $output"
cabextract -q -t "$home/zalohy/data.cab" || fail "the front end's backup is no sound cabinet"
echo "install: the front end in bin/ backs up what a settings file describes"
