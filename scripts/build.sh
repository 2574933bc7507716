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
# ccache, where installed, makes rebuilds across build folders and clones cheap.
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
cmake -S "$root" -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" "${target[@]}"
