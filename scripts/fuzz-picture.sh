#!/usr/bin/env bash
# Builds the PNG reader and BMP reader fuzz targets with clang and runs each for
# the given time, seeded with the committed corpus and, when it is there, the
# PngSuite files of ../shared/oracles.
#   scripts/fuzz-picture.sh [seconds per target]     (default 20)
# Without clang it says so and succeeds. Findings land in build/fuzz/run/<target>.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-picture: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target png_read_fuzz bmp_read_fuzz -j "${JOBS:-$(nproc)}"

suite=""
for dir in "${TARNWICK_SHARED_DIR:-}" "$root/../shared" "$root/../../shared"; do
  if [ -n "$dir" ] && [ -d "$dir/oracles/pngsuite/png" ]; then suite="$dir/oracles/pngsuite/png"; break; fi
done

for target in png_read_fuzz bmp_read_fuzz; do
  kind="${target%%_*}"
  seeds=("$root/tests/imaging/fuzz/corpus/$kind")
  if [ "$kind" = png ] && [ -n "$suite" ]; then seeds+=("$suite"); fi
  run="$build/run/$target"
  mkdir -p "$run/corpus"
  cd "$run"
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
    "$build/$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 "$run/corpus" "${seeds[@]}"
done
