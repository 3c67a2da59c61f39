#!/bin/sh
# Runs each fuzz target for a while with a fixed seed, starting from a copy of its seed corpus
# (the tree stays clean). Fails when any target finds a crash, a leak or a failed check.
#   run-fuzzers.sh BUILD_DIR SECONDS TARGET...
set -eu
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrivane-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
status=0
for target in "$@"; do
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    if [ -d "$here/corpus/$target" ]; then
        cp -R "$here/corpus/$target/." "$work/$target/corpus/"
    fi
    dictionary=
    if [ -f "$here/$target.dict" ]; then
        dictionary="-dict=$here/$target.dict"
    fi
    echo "== $target: $seconds s"
    # shellcheck disable=SC2086 # the dictionary option is one word or none
    if "$build/fuzz/$target" -seed=1 $dictionary -max_total_time="$seconds" -timeout=60 \
        -artifact_prefix="$work/$target/artifacts/" -print_final_stats=1 \
        "$work/$target/corpus" >"$work/$target/log" 2>&1; then
        grep -E '^(Done|#[0-9]+[[:space:]]+DONE)' "$work/$target/log" || true
    else
        echo "$target FAILED; the end of its log:"
        tail -n 60 "$work/$target/log"
        for artifact in "$work/$target/artifacts"/*; do
            [ -f "$artifact" ] || continue
            mkdir -p "$build/fuzz-artifacts"
            cp "$artifact" "$build/fuzz-artifacts/"
            echo "input kept as $build/fuzz-artifacts/$(basename "$artifact")"
        done
        status=1
    fi
done
exit $status
