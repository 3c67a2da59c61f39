#!/usr/bin/env bash
# Cabinet benchmark: packs one corpus (source text, binaries, random and zero data) with
# ostrivane-cab (when built), with bench/fcipack (libcabinet through its FCI), with `gcab -c -z`
# and with `tar | pigz -p 2 -6`, and prints wall time, CPU time, peak memory and output size,
# each also as a ratio to gcab's from the same run. A corpus twice the size is packed again for
# peak memory. Argument: the build folder. OSTRIVANE_BENCH_LEVELS="1 2 3 4 5 6" also measures
# fcipack at those deflate levels (OSTRIVANE_CAB_LEVEL).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${OSTRIVANE_BENCH_DIR:-/tmp/ostrivane-cab-bench}
fcipack=$build/bench/fcipack
frontend=$build/ostrivane-cab
for tool in gcab pigz tar /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$fcipack" ] || { echo "missing: $fcipack (build the fcipack target)" >&2; exit 1; }

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

# measure LABEL OUTPUT COMMAND...: prints one line of figures and records them.
declare -A wall cpu mem size
measure() {
    local label=$1 output=$2
    shift 2
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
    wall[$label]=$w
    cpu[$label]=$(echo "$u + $s" | bc)
    mem[$label]=$m
    size[$label]=$(stat -c %s "$output")
}

report() {
    local base=$1
    shift
    printf '%-22s %9s %7s %9s %7s %9s %7s %12s %7s\n' tool wall/s ratio cpu/s ratio peak/MiB \
        ratio size/B ratio
    local label
    for label in "$@"; do
        printf '%-22s %9.2f %7.3f %9.2f %7.3f %9.1f %7.3f %12d %7.4f\n' "$label" \
            "${wall[$label]}" "$(echo "${wall[$label]} / ${wall[$base]}" | bc -l)" \
            "${cpu[$label]}" "$(echo "${cpu[$label]} / ${cpu[$base]}" | bc -l)" \
            "$(echo "${mem[$label]} / 1024" | bc -l)" \
            "$(echo "${mem[$label]} / ${mem[$base]}" | bc -l)" \
            "${size[$label]}" "$(echo "${size[$label]} / ${size[$base]}" | bc -l)"
    done
}

# run_set NAME DIR: packs DIR with every tool.
run_set() {
    local name=$1 dir=$2 labels=(gcab)
    local files=$work/$name.files list
    (cd "$dir" && find . -type f ! -name .complete | sed 's|^\./||' | sort) > "$files"
    mapfile -t list < "$files"
    echo "== corpus $name: ${#list[@]} files, $(du -sm --apparent-size "$dir" | cut -f1) MB"
    cd "$dir"
    # Every tool reads the corpus from the page cache.
    tar -cf - -T "$files" | cat > /dev/null
    measure gcab "$work/gcab.cab" gcab -c -z "$work/gcab.cab" "${list[@]}"
    measure "pigz -p 2 -6" "$work/pigz.tgz" sh -c "tar -cf - -T '$files' | pigz -p 2 -6 > '$work/pigz.tgz'"
    labels+=("pigz -p 2 -6")
    measure fcipack "$work/fcipack.cab" "$fcipack" "$work/fcipack.cab" "${list[@]}"
    labels+=(fcipack)
    if [ -x "$frontend" ]; then
        measure ostrivane-cab "$work/ostrivane.cab" "$frontend" --recurse --quiet \
            "$work/ostrivane.cab" "$dir/*.*"
        labels+=(ostrivane-cab)
    fi
    local level
    for level in ${OSTRIVANE_BENCH_LEVELS:-}; do
        measure "fcipack level $level" "$work/fcipack$level.cab" env OSTRIVANE_CAB_LEVEL=$level \
            "$fcipack" "$work/fcipack$level.cab" "${list[@]}"
        labels+=("fcipack level $level")
    done
    cd - > /dev/null
    report gcab "${labels[@]}"
}

mkdir -p "$work"
make_corpus "$work/corpus" 1
run_set single "$work/corpus"
make_corpus "$work/corpus2" 2
run_set double "$work/corpus2"
