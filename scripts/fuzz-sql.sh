#!/usr/bin/env bash
# Builds the SQL lexer and expression parser fuzz target with clang and runs it.
#   scripts/fuzz-sql.sh [seconds]     (default 20)
# Without clang it says so and succeeds. Findings land in build/fuzz-sql/run.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz-sql"

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-sql: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/tests/db_sql/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target sql_expr_fuzz -j "${JOBS:-3}"

run="$build/run"
mkdir -p "$run/corpus"
cd "$run"
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/sql_expr_fuzz" -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$run/corpus" "$root/tests/db_sql/fuzz/corpus"
