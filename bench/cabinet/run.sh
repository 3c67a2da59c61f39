#!/usr/bin/env bash
# Cabinet benchmark: packs one corpus (source text, binaries, random and zero data) with
# ostrivane-cab (when built; with its read-back of every backup, with --no-verify, and with one
# folder per cabinet instead of folders of a few MiB, for what the folders cost in size), with
# bench/fcipack (libcabinet through its FCI), with `gcab -c -z`
# and with `tar cf - | pigz -p 2 -6`, and prints wall time, CPU time, peak memory and output
# size, each also as a ratio to gcab's and to pigz's from the same round. A corpus twice the size
# is packed again, above all for peak memory. Argument: the build folder.
#   OSTRIVANE_BENCH_ROUNDS=N  measures every tool N times (default 1), one tool after the other
#                             in each round; ratios are taken within a round, and the best of the
#                             rounds is printed with the worst beside it.
#   OSTRIVANE_BENCH_LEVELS="0 1 2 3" also measures fcipack at those levels (OSTRIVANE_CAB_LEVEL).
#   OSTRIVANE_BENCH_DIR       where the corpora and the outputs go (default /tmp/ostrivane-cab-bench).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${OSTRIVANE_BENCH_DIR:-/tmp/ostrivane-cab-bench}
rounds=${OSTRIVANE_BENCH_ROUNDS:-1}
fcipack=$build/bench/fcipack
frontend=$build/ostrivane-cab
# shellcheck source=../shared.sh
source "$(dirname "$0")/../shared.sh"
require_tools gcab pigz tar bc /usr/bin/time
require_built "$fcipack" fcipack

# corpus DIR SCALE: about 300 MB per unit of SCALE.
make_corpus() {
    local dir=$1 scale=$2 i
    [ -f "$dir/.complete" ] && return
    rm -rf "$dir"
    mkdir -p "$dir/text" "$dir/bin" "$dir/data"
    for ((i = 0; i < scale; i++)); do
        # Source text: headers, about 150 MB per unit in several thousand files.
        mkdir -p "$dir/text/$i"
        (cd /usr/include && find . -type f -size -4M -print0 |
            tar --null -T - -cf - 2> /dev/null) | tar -xf - -C "$dir/text/$i"
        # Binaries: shared libraries, about 100 MB per unit.
        mkdir -p "$dir/bin/$i"
        local total=0 f size
        while IFS= read -r f; do
            size=$(stat -c %s "$f")
            cp "$f" "$dir/bin/$i/"
            total=$((total + size))
            [ $total -gt 100000000 ] && break
        done < <(find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' \
            -size +200k -size -20M | sort)
        head -c 25000000 /dev/urandom > "$dir/data/random$i.bin"
        head -c 25000000 /dev/zero > "$dir/data/zero$i.bin"
    done
    touch "$dir/.complete"
}

# measure ROUND LABEL OUTPUT COMMAND...: appends "round label wall cpu peak-KiB size" to $results.
measure() {
    local round=$1 label=$2 output=$3
    shift 3
    rm -f "$output"
    local log=$work/time.log
    /usr/bin/time -v -o "$log" "$@" > /dev/null 2> "$work/err.log" ||
        { echo "$label failed:" >&2; cat "$work/err.log" >&2; exit 1; }
    local w u s m
    w=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$log" |
        awk -F: '{ t = 0; for (i = 1; i <= NF; i++) t = t * 60 + $i; print t }')
    u=$(sed -n 's/.*User time (seconds): //p' "$log")
    s=$(sed -n 's/.*System time (seconds): //p' "$log")
    m=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
    echo "$round $label $w $(echo "$u + $s" | bc) $m $(stat -c %s "$output")" >> "$results"
}

# report: the best figures of every tool, then its ratios to gcab and to pigz (best of the
# rounds, and their range when there was more than one).
report() {
    awk -v rounds="$rounds" '
        { r = $1; t = $2; wall[r, t] = $3; cpu[r, t] = $4; mem[r, t] = $5 / 1024; size[r, t] = $6
          if (!(t in seen)) { seen[t] = 1; order[++n] = t } }
        function best(a, t,   r, v) { v = a[1, t]; for (r = 2; r <= rounds; r++) if (a[r, t] < v) v = a[r, t]; return v }
        function ratio(a, t, base,   r, q, lo, hi) {
            for (r = 1; r <= rounds; r++) {
                q = a[r, t] / (a[r, base] > 0 ? a[r, base] : 1)
                if (r == 1 || q < lo) lo = q
                if (r == 1 || q > hi) hi = q
            }
            return rounds > 1 ? sprintf("%.3f (max %.3f)", lo, hi) : sprintf("%.3f", lo)
        }
        END {
            printf "%-15s %9s %9s %9s %12s\n", "tool", "wall/s", "cpu/s", "peak/MiB", "size/B"
            for (i = 1; i <= n; i++) { t = order[i]
                printf "%-15s %9.2f %9.2f %9.1f %12d\n", t, best(wall, t), best(cpu, t), best(mem, t), best(size, t) }
            w = rounds > 1 ? 17 : 7
            for (b = 1; b <= 2; b++) {
                base = b == 1 ? "gcab" : "tar|pigz"
                printf "%-15s %*s %*s %*s %*s\n", "ratio to " base, w, "wall", w, "cpu", w, "peak", w, "size"
                for (i = 1; i <= n; i++) { t = order[i]; if (t == base) continue
                    printf "%-15s %*s %*s %*s %*s\n", t, w, ratio(wall, t, base), w, ratio(cpu, t, base),
                        w, ratio(mem, t, base), w, ratio(size, t, base) }
            }
        }' "$results"
}

# run_set NAME DIR: packs DIR with every tool, `rounds` times.
run_set() {
    local name=$1 dir=$2 round level
    local files=$work/$name.files list
    results=$work/$name.results
    : > "$results"
    (cd "$dir" && find . -type f ! -name .complete | sed 's|^\./||' | sort) > "$files"
    mapfile -t list < "$files"
    echo "== corpus $name: ${#list[@]} files, $(du -sm --apparent-size "$dir" | cut -f1) MB," \
        "$rounds round(s)"
    cd "$dir"
    # Every tool reads the corpus from the page cache.
    tar -cf - -T "$files" | cat > /dev/null
    for ((round = 1; round <= rounds; round++)); do
        measure $round gcab "$work/gcab.cab" gcab -c -z "$work/gcab.cab" "${list[@]}"
        measure $round "tar|pigz" "$work/pigz.tgz" \
            sh -c "tar -cf - -T '$files' | pigz -p 2 -6 > '$work/pigz.tgz'"
        measure $round fcipack "$work/fcipack.cab" "$fcipack" "$work/fcipack.cab" "${list[@]}"
        if [ -x "$frontend" ]; then
            # As a backup runs (written, flushed and read back), and without the read-back.
            measure $round ostrivane-cab "$work/ostrivane.cab" "$frontend" --recurse --quiet \
                "$work/ostrivane.cab" "$dir/*.*"
            measure $round "ostrivane-noverify" "$work/ostrivane.cab" "$frontend" --recurse \
                --quiet --no-verify "$work/ostrivane.cab" "$dir/*.*"
            # One folder per cabinet, as before folders of a few MiB: what they cost in size.
            measure $round "ostrivane-1folder" "$work/ostrivane1.cab" env OSTRIVANE_FOLDER_BYTES=0 \
                OSTRIVANE_FOLDER_FILES=0 "$frontend" --recurse --quiet --no-verify \
                "$work/ostrivane1.cab" "$dir/*.*"
        fi
        for level in ${OSTRIVANE_BENCH_LEVELS:-}; do
            measure $round "fcipack-level$level" "$work/fcipack$level.cab" \
                env OSTRIVANE_CAB_LEVEL="$level" "$fcipack" "$work/fcipack$level.cab" "${list[@]}"
        done
    done
    cd - > /dev/null
    report
    if [ -x "$frontend" ]; then
        awk '$2 == "ostrivane-noverify" { f = $6 } $2 == "ostrivane-1folder" { o = $6 }
             END { printf "folders of a few MiB / one folder per cabinet, size: %.4f (+%.3f %%)\n",
                   f / o, 100 * (f / o - 1) }' "$results"
    fi
}

mkdir -p "$work"
make_corpus "$work/corpus" 1
run_set single "$work/corpus"
make_corpus "$work/corpus2" 2
run_set double "$work/corpus2"
