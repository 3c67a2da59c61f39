#!/usr/bin/env bash
# Runs every benchmark script under bench/ against the given build folder.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
for script in "$src"/bench/*/run.sh; do
    [ -x "$script" ] || continue
    echo "== $(basename "$(dirname "$script")")"
    "$script" "$build"
done
