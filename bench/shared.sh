# What the benchmark scripts share; source this file.
#
# `require_tools TOOL...`: ends the script when a tool is not on PATH.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 1; }
    done
}

# `require_built PROGRAM TARGET`: ends the script when the built PROGRAM is not there.
require_built() {
    [ -x "$1" ] || { echo "missing: $1 (build the $2 target)" >&2; exit 1; }
}

# `mixed_corpus FOLDER TEXT_COPIES LIBRARY_BYTES RANDOM_BYTES ZERO_BYTES`: the corpus of mixed
# files. FOLDER gets TEXT_COPIES copies of /usr/include (about 100 MB each, files under 4 MB),
# shared libraries of /usr/lib up to LIBRARY_BYTES, a file of random data and one of zeros.
mixed_corpus() {
    local folder=$1 copies=$2 library_bytes=$3 random_bytes=$4 zero_bytes=$5 copy total=0 f
    mkdir -p "$folder/text" "$folder/bin" "$folder/data"
    for ((copy = 1; copy <= copies; copy++)); do
        mkdir -p "$folder/text/$copy"
        (cd /usr/include && find . -type f -size -4M -print0 | tar --null -T - -cf - 2> /dev/null) |
            tar -xf - -C "$folder/text/$copy"
    done
    while IFS= read -r f; do
        cp "$f" "$folder/bin/"
        total=$((total + $(stat -c %s "$f")))
        [ $total -gt "$library_bytes" ] && break
    done < <(find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' -size +200k \
        -size -20M | sort)
    head -c "$random_bytes" /dev/urandom > "$folder/data/random.bin"
    head -c "$zero_bytes" /dev/zero > "$folder/data/zero.bin"
}

# `seconds COMMAND...`: the wall time of one run of COMMAND, whose output goes to $work/out.log
# (the caller's work folder); a failure ends the script with that output.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" > "$work/out.log" 2>&1 || { echo "failed: $*" >&2; cat "$work/out.log" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

# `least NUMBER...`: the smallest.
least() { printf '%s\n' "$@" | sort -g | head -n 1; }
# `best VARIABLE=ARRAY...`: each VARIABLE set to the smallest value of the array ARRAY, the best
# of the rounds measured.
best() {
    local pair
    for pair in "$@"; do
        local -n values="${pair#*=}"
        printf -v "${pair%%=*}" '%s' "$(least "${values[@]}")"
        unset -n values
    done
}
