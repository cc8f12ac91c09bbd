#!/usr/bin/env bash
# Builds the database-file fuzz target with clang and runs it on mutated
# database files, seeded with small valid files the target writes itself.
#   scripts/fuzz-disk.sh [seconds]     (default 20)
# Without clang it says so and succeeds. Findings land in build/fuzz/run/disk.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-disk: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target disk_file_fuzz -j "${JOBS:-$(nproc)}"

run="$build/run/disk"
mkdir -p "$run/corpus" "$run/seeds"
cd "$run"
DISK_FUZZ_SEEDS="$run/seeds" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/disk_file_fuzz" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$run/corpus" "$run/seeds"
