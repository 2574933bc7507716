#!/usr/bin/env bash
# build.sh DIR [cmake options...] [--target NAME]: configures and builds into DIR.
set -euo pipefail
# A --target NAME among the options builds only that target.
dir=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
options=()
target=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--target" ]; then target=(--target "$2"); shift 2; else options+=("$1"); shift; fi
done
cmake -S "$root" -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" "${target[@]}"
