#!/usr/bin/env bash
# Sets everything up, starts the driver host adp4021d with an emulated adapter on the demo
# network, and runs Korvane on it. Extra arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
bin="$root/build/bin"
"$root/scripts/install-desktop.sh" "$bin/Korvane"

"$bin/adp4021d" --quiet --source demo &
host=$!
trap 'kill $host 2>/dev/null; wait $host 2>/dev/null' EXIT
rt=${KORVANE_RUNTIME_DIR:-}
if [ -z "$rt" ]; then
    if [ -n "${XDG_RUNTIME_DIR:-}" ]; then rt=$XDG_RUNTIME_DIR/korvane; else rt=/tmp/korvane-$(id -u); fi
fi
for _ in $(seq 100); do
    [ -S "$rt/interfaces/{A71602A8-A799-44DC-805F-7FF25F30BEDB}/ADP4021Device0" ] && break
    sleep 0.05
done
if [ -x "$bin/Korvane" ]; then
    "$bin/Korvane" "$@"
else
    "$bin/vexacap" "$@"
fi
