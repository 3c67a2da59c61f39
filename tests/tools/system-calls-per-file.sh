#!/usr/bin/env bash
# What each file costs a backup in system calls, counted by strace on real backups of many small
# files: two trees in the same ten folders, 1,000 and 3,000 files, packed by ostrivane-cab, every
# call that names a file or a folder of the tree (by its path or by a descriptor of it) counted;
# what the larger one costs more, spread over its 2,000 more files, is a file's share (the costs
# of the run and of its folders cancel out). At most six: the walk's one look, the open, two
# reads, the look at the open file after its last read, the close. The archive written under
# strace is then checked by cabextract against the tree, byte for byte.
# Arguments: the build folder.
set -euo pipefail
build=$1
tool=$build/ostrivane-cab
for needed in strace cabextract; do
    command -v "$needed" > /dev/null || { echo "SKIP: $needed is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tree FOLDER COUNT: COUNT text files of 0.5 to 4 kB in ten folders, written by one process.
tree() {
    mkdir -p "$1"/d{0..9}
    awk -v root="$1" -v count="$2" '
        { text = text $0 "\n" }
        END {
            for (i = 0; i < count; i++) {
                file = root "/d" (i % 10) "/f" i ".txt"
                printf "%s", substr(text, 1, 512 + (i * 7919) % 3585) > file
                close(file)
            }
        }' /usr/share/common-licenses/GPL-3
}

# calls FOLDER: the system calls on the files and folders of FOLDER during one backup of it
# (without the read-back, which is not the way in), all threads together.
calls() {
    rm -f "$work/$1.cab"
    strace -f -y -e trace=%file,%desc -o "$work/$1.strace" "$tool" --quiet --no-verify --recurse \
        "$work/$1.cab" "$work/$1/*" > /dev/null
    grep -c -F "$work/$1/" "$work/$1.strace"
}

tree "$work/small" 1000
tree "$work/large" 3000
small=$(calls small)
large=$(calls large)
per_file=$(echo "($large - $small) / 2000" | bc -l)
printf 'system calls: %d for 1,000 files, %d for 3,000: %.2f a file\n' "$small" "$large" "$per_file"
# The calls on one file, as an example.
grep -E '(/f9\.txt>|"f9\.txt")' "$work/large.strace" | sed 's/^[0-9]* *//; s/(.*//' | sort | uniq -c
# Six, and a few calls that the data makes now and then rather than a file (a size asked for
# when a read fills all it asked for): at most one in 200 files.
if [ "$(echo "$per_file > 6.005" | bc -l)" = 1 ]; then
    echo "FAIL: more than 6 system calls a file"
    exit 1
fi

mkdir "$work/x"
cabextract -q -d "$work/x" "$work/large.cab"
diff -r "$work/large" "$work/x/large" > /dev/null || { echo "FAIL: the archive differs from the tree"; exit 1; }
echo "the archive holds the tree exactly"
