#!/usr/bin/env bash
# Largest gap between two tests of the cancel flag while a large file is backed up, beside the
# time gcab needs for the same file (the peer): a cancel from the window waits at most the gap.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d /tmp/ostrivane-cancel.XXXXXX)
trap 'rm -rf "$work"' EXIT

# 384 MiB: half random, half text-like, so that both slow and fast blocks occur.
head -c $((192 * 1024 * 1024)) /dev/urandom > "$work/part1"
(set +o pipefail; yes "Ostrivane zálohuje soubory do archívu cab, řádek za řádkem." | head -c $((192 * 1024 * 1024)) > "$work/part2")
cat "$work/part1" "$work/part2" > "$work/big.bin"
rm "$work/part1" "$work/part2"
cat "$work/big.bin" > /dev/null

line=$("$build/bench/bench_cancel_gap" "$build/libcabinet.so" "$work/big.bin" "$work/out.cab")
echo "ostrivane: $line"
gap=$(sed -n 's/.*largest gap \([0-9.]*\) ms.*/\1/p' <<< "$line")

start=$(date +%s.%N)
(cd "$work" && gcab -c -z "$work/peer.cab" big.bin)
end=$(date +%s.%N)
peer=$(echo "$end - $start" | bc -l)
printf 'gcab packs the same file in %.2f s\n' "$peer"
printf 'largest gap / gcab time: %.5f (a cancel waits at most %.2f ms)\n' \
    "$(echo "$gap / 1000 / $peer" | bc -l)" "$gap"
