#!/usr/bin/env bash
# Runs every test: a Release build, then the same suites under AddressSanitizer with
# UndefinedBehaviorSanitizer, then under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/deps.sh"

echo "== Release"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_SANITIZE=ON -DKORVANE_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

echo "== ThreadSanitizer"
"$root/scripts/build.sh" "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_TSAN=ON -DKORVANE_BENCHMARKS=OFF
# The GUI tests are left out here: Qt itself is not built for ThreadSanitizer, so its own threads
# would be reported as racing. The real-bus tests, and the tests of the worker thread the live
# bus sources share, hand work between Qt's threads the same way.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -LE "gui|realbus|qtthreads"

echo "== Fuzzing the document loader, the driver host's message parser, the log readers and the DBC reader (libFuzzer)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target document_fuzz
cmake --build "$root/build-fuzz" --target host_message_fuzz candump_fuzz asc_fuzz dbc_fuzz blf_fuzz \
    pcap_fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# fuzz NAME CORPUS SECONDS: runs one target on a copy of its seed corpus.
fuzz() {
    mkdir "$work/$1"
    cp "$root/fuzz/$2"/* "$work/$1"/
    echo "-- $1 ($3 s)"
    "$root/build-fuzz/bin/$1" -max_total_time="$3" -rss_limit_mb=2048 "$work/$1" 2>&1 | tail -n 3
}
fuzz document_fuzz corpus 30
fuzz host_message_fuzz host-corpus 20
fuzz candump_fuzz corpus-candump 15
fuzz asc_fuzz corpus-asc 15
fuzz dbc_fuzz corpus-dbc 15
fuzz blf_fuzz corpus-blf 15
fuzz pcap_fuzz corpus-pcap 15
