#!/usr/bin/env bash
# Builds the database file fuzz target with clang and runs it on mutated
# database files, seeded with small valid files its seed writer makes.
#   scripts/fuzz-dbfile.sh [seconds]     (default 20)
# Inputs that once failed (tests/db_storage/fuzz/regressions) run every time.
# Without clang it says so and succeeds. Findings land in build/fuzz/run/dbfile.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-dbfile: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target dbfile_fuzz dbfile_fuzz_seeds -j "${JOBS:-$(nproc)}"

run="$build/run/dbfile"
mkdir -p "$run/corpus" "$run/seeds"
"$build/dbfile_fuzz_seeds" "$run/seeds"
cd "$run"
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/dbfile_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$run/corpus" "$run/seeds" "$root/tests/db_storage/fuzz/regressions"
