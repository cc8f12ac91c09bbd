#!/usr/bin/env bash
# Builds the PPM decoder and compressed BLOB reader fuzz targets with clang and
# runs each for the given time.
#   scripts/fuzz-compression.sh [seconds per target]     (default 20)
# Without clang it says so and succeeds. Findings land in build/fuzz/run/<target>.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-compression: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target ppm_decode_fuzz blob_read_fuzz -j "${JOBS:-$(nproc)}"

for target in ppm_decode_fuzz blob_read_fuzz; do
  seeds="$root/tests/db_support/fuzz/corpus/${target%%_*}"
  run="$build/run/$target"
  mkdir -p "$run/corpus"
  cd "$run"
  # A small quarantine keeps memory flat: the PPM model takes up to 256 MB per call.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
    "$build/$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 "$run/corpus" "$seeds"
done
