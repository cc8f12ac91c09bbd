#!/usr/bin/env bash
# Builds the hint template file fuzz target with clang and runs it.
#   scripts/fuzz-hint-templates.sh [seconds]     (default 20)
# Without clang it says so and succeeds: the fuzz run is an extra, not a gate
# for machines that cannot build it. Findings land in build/fuzz/run/hint-templates.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-hint-templates: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target hint_template_fuzz -j "${JOBS:-$(nproc)}"

run="$build/run/hint-templates"
mkdir -p "$run/corpus"
cd "$run"
# A small quarantine keeps the address sanitizer's memory flat over many runs.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/hint_template_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$run/corpus" "$root/tests/skin_controls/fuzz/hint_templates"
