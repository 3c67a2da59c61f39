#!/usr/bin/env bash
# Many small files: a generated tree of 200,000 text files of 0.5 to 4 kB (about 470 MB, 100 to a
# folder), backed up by ostrivane-cab with its read-back against `tar cf - | pigz -p 2 -6` and
# `tar cf - | zstd -T2 -3` on the same tree, one after the other in every round (the page cache
# warm for all of them); the ratio of each pair within a round, the median of the rounds. Then
# the peak memory (GNU time's maximum resident set size) of a verified backup of the first
# 100,000 files and of all 200,000, which should differ by little: nothing is kept per file but
# a compact entry. Argument: the build folder.
#   OSTRIVANE_BENCH_RUNS=N  rounds (default 3)
#   OSTRIVANE_BENCH_DIR     where the trees and the outputs go (default /tmp/ostrivane-smallfiles)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tool=$build/ostrivane-cab
make_tree=$build/bench/make_tree
work=${OSTRIVANE_BENCH_DIR:-/tmp/ostrivane-smallfiles}
runs=${OSTRIVANE_BENCH_RUNS:-3}
# shellcheck source=../shared.sh
source "$(dirname "$0")/../shared.sh"
require_tools tar pigz zstd bc /usr/bin/time
require_built "$tool" ostrivane-cab
require_built "$make_tree" make_tree

mkdir -p "$work"
# The trees: 100,000 files, and 200,000 of which the first 100,000 are the same.
for count in 100000 200000; do
    tree=$work/tree$count
    if [ ! -f "$work/.complete$count" ]; then
        rm -rf "$tree"
        "$make_tree" "$tree" "$count"
        touch "$work/.complete$count"
    fi
done
cd "$work"

# `median NUMBER...`
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# `ratio A B`
ratio() { echo "$1 / $2" | bc -l; }

cab=(sh -c 'rm -f "$0"/backup*.cab && exec "$1" --quiet --recurse "$0/backup.cab" "$2/*"'
    "$work" "$tool" tree200000)
pigz_pack=(sh -c 'tar cf - tree200000 | pigz -p 2 -6 > "$0/tree.tar.gz"' "$work")
zstd_pack=(sh -c 'tar cf - tree200000 | zstd -q -T2 -3 > "$0/tree.tar.zst"' "$work")
# Every file read once before the rounds, so that each tool finds the tree in the page cache.
tar cf - tree200000 | cat > /dev/null
ours=() pigz=() zstd=() vs_pigz=() vs_zstd=()
for ((i = 0; i < runs; i++)); do
    o=$(seconds "${cab[@]}")
    p=$(seconds "${pigz_pack[@]}")
    z=$(seconds "${zstd_pack[@]}")
    ours+=("$o") pigz+=("$p") zstd+=("$z")
    vs_pigz+=("$(ratio "$o" "$p")") vs_zstd+=("$(ratio "$o" "$z")")
done

# Peak memory of a verified backup of 100,000 and of 200,000 files.
peak() {
    rm -f "$work"/peak*.cab
    /usr/bin/time -f '%M' -o "$work/time.txt" "$tool" --quiet --recurse "$work/peak.cab" \
        "$work/$1/*" > /dev/null
    echo $(($(tail -n 1 "$work/time.txt") / 1024))
}
peak100=$(peak tree100000)
peak200=$(peak tree200000)

printf 'tree of 200,000 files, %d MB; median of %d rounds\n' \
    "$(($(du -sb tree200000 | cut -f1) / 1000000))" "$runs"
printf '%-44s %8s %10s\n' measure wall/s "ours/peer"
printf '%-44s %8.2f %10s\n' "ostrivane-cab, verified" "$(median "${ours[@]}")" ""
printf '%-44s %8.2f %10.3f\n' "tar | pigz -p 2 -6 (peer)" "$(median "${pigz[@]}")" \
    "$(median "${vs_pigz[@]}")"
printf '%-44s %8.2f %10.3f\n' "tar | zstd -T2 -3 (peer)" "$(median "${zstd[@]}")" \
    "$(median "${vs_zstd[@]}")"
printf 'ratios to pigz by round: %s\n' "$(printf '%.3f ' "${vs_pigz[@]}")"
printf 'ratios to zstd by round: %s\n' "$(printf '%.3f ' "${vs_zstd[@]}")"
printf 'peak memory, verified backup: %d MiB for 100,000 files, %d MiB for 200,000 (%+d MiB)\n' \
    "$peak100" "$peak200" "$((peak200 - peak100))"
printf 'archive %d MB, tar.gz %d MB, tar.zst %d MB\n' \
    "$(($(cat "$work"/backup*.cab | wc -c) / 1000000))" \
    "$(($(stat -c %s "$work/tree.tar.gz") / 1000000))" \
    "$(($(stat -c %s "$work/tree.tar.zst") / 1000000))"
