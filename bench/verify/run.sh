#!/usr/bin/env bash
# Cost of the read-back that verifies every backup, and the speed of the reading commands. A
# corpus (source text, shared libraries, random and zero data, about 300 MB) is backed up by
# ostrivane-cab with verification and with --no-verify, one after the other in every round; the
# ratio of the two (the median of the rounds, each round's pair taken together) is what a
# verified backup costs (most folders are proved while the packing goes on; the read-back after
# the flush reads the cabinet from the disk and inflates only the folders left unproved). The
# read-back alone (the front end's own figure), `ostrivane-cab --test` and `ostrivane-cab
# --extract` are set against cabextract (-t and -d) on the same cabinet, each from a cold page
# cache. Medians of the rounds.
# Argument: the build folder.
#   OSTRIVANE_BENCH_RUNS=N  rounds (default 3)
#   OSTRIVANE_BENCH_DIR     where the corpus and the outputs go
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
# `median NUMBER...`
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

pack=(--recurse "$cabinet" "$corpus/*")
plain=() checked=() pairs=() own=() tests=() peers=() extracts=() peerx=()
for ((i = 0; i < runs; i++)); do
    rm -f "$cabinet"
    p=$(seconds "$tool" --no-verify "${pack[@]}")
    rm -f "$cabinet"
    c=$(seconds "$tool" "${pack[@]}")
    plain+=("$p") checked+=("$c") pairs+=("$(echo "$c / $p" | bc -l)")
    own+=("$(sed -n 's/^Přečteno zpět a ověřeno souborů: .* za \([0-9.]*\) s$/\1/p' "$work/out.log")")
    cold
    tests+=("$(seconds "$tool" --test --quiet "$cabinet")")
    cold
    peers+=("$(seconds cabextract -q -t "$cabinet")")
    rm -rf "$work/x"
    cold
    extracts+=("$(seconds "$tool" --extract --quiet "$work/x" "$cabinet")")
    rm -rf "$work/x"
    mkdir -p "$work/x"
    cold
    peerx+=("$(seconds cabextract -q -d "$work/x" "$cabinet")")
    rm -rf "$work/x"
done
for name in plain checked pairs own tests peers extracts peerx; do
    declare -n values=$name
    printf -v "m_$name" '%s' "$(median "${values[@]}")"
    unset -n values
done

printf 'corpus %d MB, cabinet %d MB, median of %d rounds\n' \
    "$(($(du -sb "$corpus" | cut -f1) / 1000000))" "$(($(stat -c %s "$cabinet") / 1000000))" "$runs"
printf '%-44s %8s %8s\n' measure wall/s ratio
printf '%-44s %8.2f %8.3f\n' "cabextract -t (peer, cold cache)" "$m_peers" 1
printf '%-44s %8.2f %8.3f\n' "read-back inside the backup" "$m_own" "$(echo "$m_own / $m_peers" | bc -l)"
printf '%-44s %8.2f %8.3f\n' "ostrivane-cab --test (cold cache)" "$m_tests" \
    "$(echo "$m_tests / $m_peers" | bc -l)"
printf '%-44s %8.2f %8.3f\n' "cabextract -d (peer, cold cache)" "$m_peerx" 1
printf '%-44s %8.2f %8.3f\n' "ostrivane-cab --extract (cold cache)" "$m_extracts" \
    "$(echo "$m_extracts / $m_peerx" | bc -l)"
printf '%-44s %8.2f %8s\n' "backup with --no-verify" "$m_plain" ""
printf '%-44s %8.2f %8s\n' "backup with verification" "$m_checked" ""
printf 'verified / unverified backup: %.3f (median of the rounds; ratios %s)\n' "$m_pairs" \
    "$(printf '%.3f ' "${pairs[@]}")"
