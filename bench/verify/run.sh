#!/usr/bin/env bash
# Cost of the read-back that verifies every backup. A corpus (source text, shared libraries,
# random and zero data, about 300 MB) is backed up by ostrivane-cab with verification and with
# --no-verify; the read-back alone (the front end's own figure, and `ostrivane-cab --test`) is
# set against `cabextract -t` of the same cabinet (the peer), each from a cold page cache, and
# against the wall time of the whole backup. Each figure is the best of three runs.
# Argument: the build folder.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tool=$build/ostrivane-cab
work=${OSTRIVANE_BENCH_DIR:-/tmp/ostrivane-verify-bench}
runs=${OSTRIVANE_BENCH_RUNS:-3}
# shellcheck source=../shared.sh
source "$(dirname "$0")/../shared.sh"
require_tools cabextract dd bc
require_built "$tool" ostrivane-cab

corpus=$work/corpus
if [ ! -f "$corpus/.complete" ]; then
    rm -rf "$corpus"
    mixed_corpus "$corpus" 1 100000000 25000000 25000000
    touch "$corpus/.complete"
fi
cabinet=$work/backup.cab

# Drops the cabinet's pages from the page cache, so that the next read comes from the storage.
cold() { sync "$cabinet"; dd if="$cabinet" iflag=nocache count=0 status=none; }

pack=(--recurse "$cabinet" "$corpus/*")
plain=() checked=() own=() tests=() peers=()
for ((i = 0; i < runs; i++)); do
    rm -f "$cabinet"
    plain+=("$(seconds "$tool" --no-verify "${pack[@]}")")
    rm -f "$cabinet"
    checked+=("$(seconds "$tool" "${pack[@]}")")
    own+=("$(sed -n 's/^Přečteno zpět a ověřeno souborů: .* za \([0-9.]*\) s$/\1/p' "$work/out.log")")
    cold
    tests+=("$(seconds "$tool" --test --quiet "$cabinet")")
    cold
    peers+=("$(seconds cabextract -q -t "$cabinet")")
done
best plain=plain checked=checked own=own tests=tests peer=peers

printf 'corpus %d MB, cabinet %d MB, best of %d runs\n' \
    "$(($(du -sb "$corpus" | cut -f1) / 1000000))" "$(($(stat -c %s "$cabinet") / 1000000))" "$runs"
printf '%-44s %8s %8s\n' measure wall/s ratio
printf '%-44s %8.2f %8.3f\n' "cabextract -t (peer, cold cache)" "$peer" 1
printf '%-44s %8.2f %8.3f\n' "read-back inside the backup" "$own" "$(echo "$own / $peer" | bc -l)"
printf '%-44s %8.2f %8.3f\n' "ostrivane-cab --test (cold cache)" "$tests" \
    "$(echo "$tests / $peer" | bc -l)"
printf '%-44s %8.2f %8.3f\n' "backup with --no-verify" "$plain" "$(echo "$plain / $peer" | bc -l)"
printf '%-44s %8.2f %8.3f\n' "backup with verification" "$checked" \
    "$(echo "$checked / $peer" | bc -l)"
printf 'read-back / cabextract -t: %.3f; read-back share of the backup: %.1f %% (%.1f %% by the difference of the two backups)\n' \
    "$(echo "$own / $peer" | bc -l)" "$(echo "100 * $own / $checked" | bc -l)" \
    "$(echo "100 * ($checked - $plain) / $checked" | bc -l)"
