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
# would be reported as racing. The real-bus tests hand work between Qt's threads the same way.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -LE "gui|realbus"

echo "== Fuzzing the document loader (libFuzzer, 30 s)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target document_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/fuzz/corpus/* "$corpus"/
"$root/build-fuzz/bin/document_fuzz" -max_total_time=30 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3

echo "== Fuzzing the candump and ASC log readers (libFuzzer, 15 s each)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target candump_fuzz
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_BENCHMARKS=OFF --target asc_fuzz
for reader in candump asc; do
    logs=$(mktemp -d)
    cp "$root"/fuzz/corpus-$reader/* "$logs"/
    "$root/build-fuzz/bin/${reader}_fuzz" -max_total_time=15 -rss_limit_mb=2048 "$logs" 2>&1 | tail -n 3
    rm -rf "$logs"
done
