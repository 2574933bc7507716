#!/usr/bin/env bash
# Sets everything up and runs Korvane's capture on the first adapter found.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
exec "$root/build/bin/vexacap" "$@"
