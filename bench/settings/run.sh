#!/usr/bin/env bash
# Builds and runs the settings-file benchmark; argument: the build folder.
set -euo pipefail
build=${1:-build}
log=$(mktemp)
scratch=$(mktemp -d)
trap 'rm -rf "$log" "$scratch"' EXIT
if ! cmake --build "$build" --target bench_settings -j2 >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
"$build/bench/bench_settings" "$scratch/settings"
