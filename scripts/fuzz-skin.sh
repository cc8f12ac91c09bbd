#!/usr/bin/env bash
# Builds the packed-skin archive reader and options-file loader fuzz targets
# with clang and runs each for the given time, seeded with the test skins.
#   scripts/fuzz-skin.sh [seconds per target]     (default 20)
# Without clang it says so and succeeds. Findings land in build/fuzz/run/<target>.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-skin: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target skin_archive_fuzz skin_options_fuzz skin_fuzz_seeds -j "${JOBS:-$(nproc)}"

seeds="$build/run/skin-seeds"
mkdir -p "$seeds/archive" "$seeds/options"
"$build/skin_fuzz_seeds" "$seeds/archive" "$seeds/options"

for target in skin_archive_fuzz skin_options_fuzz; do
  kind="${target#skin_}"
  kind="${kind%_fuzz}"
  run="$build/run/$target"
  mkdir -p "$run/corpus"
  cd "$run"
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
    "$build/$target" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 "$run/corpus" "$seeds/$kind"
done
