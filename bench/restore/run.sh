#!/usr/bin/env bash
# Restore benchmark, each figure with its ratio to a peer measured in the same run:
#   - opening the restore dialog on a folder with 10 backups of 65,535 small files each: the
#     catalog (every backup's file list, with the search's folded names) and the tree of the
#     newest backup, against `cabextract -l` of the same 10 archives;
#   - the search as the user types a name, through all 10 backups (655,350 files): the slowest
#     keystroke against `grep -ciF` of the name in the 10 archives' listing;
#   - the program's resident memory with the restore dialog open on those 10 backups (the
#     newest one's tree unfolded, a search through all of them shown) and after it closed,
#     against the memory before it opened (a closed dialog gives back what it took);
#   - restoring a backup of about 1 GB of mixed files (source text, shared libraries, random
#     and zero data) into an empty folder, with the reader's own decoding (what the dialog uses)
#     and with libarchive's, against `cabextract -d` of the same archive.
# The backups are made by ostrivane-cab and kept in the work folder for later runs. Each figure
# is the best of several runs (page cache warm; the written files are synced away before each
# restore). Argument: the build folder.
#   OSTRIVANE_BENCH_DIR   the work folder (default /tmp/ostrivane-restore-bench)
#   OSTRIVANE_BENCH_RUNS  runs of each measurement (default 3)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bench=$build/bench/bench_restore
tool=$build/ostrivane-cab
work=${OSTRIVANE_BENCH_DIR:-/tmp/ostrivane-restore-bench}
runs=${OSTRIVANE_BENCH_RUNS:-3}
# shellcheck source=../shared.sh
source "$(dirname "$0")/../shared.sh"
require_tools cabextract grep bc
require_built "$bench" bench_restore
require_built "$tool" ostrivane-cab
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}

# Ten backups of 65,535 small files: one packed, nine copies of it made earlier.
ten=$work/ten
if [ ! -f "$ten/.complete" ]; then
    rm -rf "$ten" "$work/small"
    mkdir -p "$ten"
    "$bench" make "$work/small/Dokumenty" 65535
    "$tool" --recurse --no-verify --quiet "$ten/Záloha.cab" "$work/small/Dokumenty/*.*"
    rm -rf "$work/small"
    for i in $(seq 1 9); do
        cp "$ten/Záloha.cab" "$ten/Záloha_$i.cab"
        touch -d "-$i days" "$ten/Záloha_$i.cab"
    done
    touch "$ten/.complete"
fi

# About 1 GB of mixed files in one backup.
big=$work/big
if [ ! -f "$big/.complete" ]; then
    rm -rf "$big" "$work/corpus"
    corpus=$work/corpus
    mkdir -p "$big"
    mixed_corpus "$corpus" 3 450000000 250000000 120000000
    "$tool" --recurse --no-verify --quiet "$big/Záloha.cab" "$corpus/*.*"
    du -sb "$corpus" | cut -f1 > "$big/bytes"
    rm -rf "$corpus"
    touch "$big/.complete"
fi

field() { sed -n "s/.* $1 \([0-9.]*\).*/\1/p" "$work/out.log"; }
list_all() { for f in "$ten"/*.cab; do cabextract -l "$f"; done > "$work/listing.txt"; }

name=faktura-1234
catalogs=() trees=() listings=() keys=() means=() greps=()
for ((i = 0; i < runs; i++)); do
    seconds "$bench" open "$ten/Záloha.cab" > /dev/null
    catalogs+=("$(field catalog)")
    trees+=("$(field tree)")
    listings+=("$(seconds list_all)")
    seconds "$bench" filter "$ten/Záloha.cab" "$name" > /dev/null
    keys+=("$(field slowest)")
    means+=("$(field mean)")
    greps+=("$(seconds grep -ciF "$name" "$work/listing.txt")")
done
best catalog=catalogs tree=trees listing=listings key=keys mean=means grepped=greps

"$bench" memory "$ten/Záloha.cab" a > "$work/out.log"
rss_before=$(field rss-before) rss_open=$(field rss-open) rss_closed=$(field rss-closed)

out=$work/out
restore_own=() restore_libarchive=() restore_peer=()
restore() {
    rm -rf "$out"
    mkdir -p "$out"
    sync
    seconds "$@"
}
for ((i = 0; i < runs; i++)); do
    restore_own+=("$(restore "$bench" restore "$big/Záloha.cab" "$out" own)")
    restore_libarchive+=("$(restore "$bench" restore "$big/Záloha.cab" "$out" libarchive)")
    restore_peer+=("$(restore cabextract -q -d "$out" "$big/Záloha.cab")")
done
rm -rf "$out"
best own=restore_own libarchive=restore_libarchive peer=restore_peer

ratio() { echo "$1 / $2" | bc -l; }
printf 'best of %d runs; 10 backups of 65,535 files (%d MB each), a backup of %d MB of files (%d MB cabinet)\n' \
    "$runs" "$(($(stat -c %s "$ten/Záloha.cab") / 1000000))" "$(($(cat "$big/bytes") / 1000000))" \
    "$(($(stat -c %s "$big/Záloha.cab") / 1000000))"
printf '%-58s %8s %8s\n' measure seconds ratio
printf '%-58s %8.3f %8.3f\n' "cabextract -l of the 10 archives (peer)" "$listing" 1
printf '%-58s %8.3f %8.3f\n' "open: catalog of the 10 backups (target 1 s)" "$catalog" \
    "$(ratio "$catalog" "$listing")"
printf '%-58s %8.3f %8.3f\n' "open: tree of the newest backup (target 0.5 s)" "$tree" \
    "$(ratio "$tree" "$listing")"
printf '%-58s %8.3f %8.3f\n' "grep -ciF $name in the listing (peer)" "$grepped" 1
printf '%-58s %8.3f %8.3f\n' "search in all 10: slowest keystroke (target 0.1 s)" "$key" \
    "$(ratio "$key" "$grepped")"
printf '%-58s %8.3f %8.3f\n' "search in all 10: mean keystroke" "$mean" "$(ratio "$mean" "$grepped")"
printf '%-58s %8s %8s\n' memory MB ratio
printf '%-58s %8.1f %8.3f\n' "before the restore dialog opens (base)" "$rss_before" 1
printf '%-58s %8.1f %8.3f\n' "dialog open on the 10 backups, search and tree shown" "$rss_open" \
    "$(ratio "$rss_open" "$rss_before")"
printf '%-58s %8.1f %8.3f\n' "dialog closed (target 1.1)" "$rss_closed" \
    "$(ratio "$rss_closed" "$rss_before")"
printf '%-58s %8.3f %8.3f\n' "cabextract -d (peer)" "$peer" 1
printf '%-58s %8.3f %8.3f\n' "restore, own decoding (the dialog's; target 1.1)" "$own" \
    "$(ratio "$own" "$peer")"
printf '%-58s %8.3f %8.3f\n' "restore, libarchive (the command line's)" "$libarchive" \
    "$(ratio "$libarchive" "$peer")"
