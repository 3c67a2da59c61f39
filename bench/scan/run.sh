#!/usr/bin/env bash
# Scan benchmark: 100,000 files in 5,000 folders; find(1) against the engine's scan (the
# scanner through the component's entry handler, "*.*" with subfolders, no compression).
# Prints the best wall time of each over several runs, the ratio engine/find and the peak
# resident memory of each. Argument: the build folder.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bench="$build/bench/bench_scan"
reps=${REPS:-5}
[ -x "$bench" ] || { echo "bench_scan not built in $build" >&2; exit 1; }

work=$(mktemp -d /tmp/ostrivane-bench-scan-XXXXXX)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
"$bench" make "$tree" 5000 100000

# Seconds and peak kilobytes of one command, from GNU time.
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null
    cat "$work/time"
}

# A first pass of each warms the directory caches.
find "$tree" -type f > /dev/null
"$bench" scan "$tree" > /dev/null

best_find=""; best_fstat=""; best_engine=""; mem_find=0; mem_engine=0
for ((i = 1; i <= reps; i++)); do
    read -r t m < <(measure find "$tree" -type f)
    best_find=$(awk -v a="$t" -v b="${best_find:-$t}" 'BEGIN { print (a < b ? a : b) }')
    (( m > mem_find )) && mem_find=$m
    # find that also reads size and time of every file, as the engine must.
    read -r t m < <(measure find "$tree" -type f -printf '%s %T@\n')
    best_fstat=$(awk -v a="$t" -v b="${best_fstat:-$t}" 'BEGIN { print (a < b ? a : b) }')
    read -r t m < <(measure "$bench" scan "$tree")
    best_engine=$(awk -v a="$t" -v b="${best_engine:-$t}" 'BEGIN { print (a < b ? a : b) }')
    (( m > mem_engine )) && mem_engine=$m
done
entries=$("$bench" scan "$tree" | awk '{ print $2 }')

echo "files scanned by the engine: $entries"
echo "find -type f: best ${best_find} s of $reps, peak ${mem_find} KiB"
echo "find -printf '%s %T@' (stats every file): best ${best_fstat} s of $reps"
echo "engine scan:  best ${best_engine} s of $reps, peak ${mem_engine} KiB"
awk -v e="$best_engine" -v f="$best_find" 'BEGIN {
    if (f <= 0) f = 0.01
    printf "ratio engine/find: %.2f (target: at most 2)\n", e / f }'
awk -v e="$best_engine" -v f="$best_fstat" 'BEGIN {
    if (f <= 0) f = 0.01
    printf "ratio engine/find-with-stat: %.2f\n", e / f }'
