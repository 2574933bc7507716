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
# would be reported as racing.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -LE gui

echo "== Fuzzing the document loader (libFuzzer, 30 s)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target document_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/fuzz/corpus/* "$corpus"/
"$root/build-fuzz/bin/document_fuzz" -max_total_time=30 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3

echo "== Fuzzing the driver host's message parser (libFuzzer, 20 s)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target host_message_fuzz
host_corpus=$(mktemp -d)
trap 'rm -rf "$corpus" "$host_corpus"' EXIT
cp "$root"/fuzz/host-corpus/* "$host_corpus"/
"$root/build-fuzz/bin/host_message_fuzz" -max_total_time=20 -rss_limit_mb=2048 "$host_corpus" 2>&1 |
    tail -n 3
