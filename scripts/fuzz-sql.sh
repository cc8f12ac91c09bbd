#!/usr/bin/env bash
# Builds the SQL fuzz targets with clang and runs them: the lexer and expression
# parser, then whole statements through the SQL processor (seeded with the
# statements of the shared sqllogictest scripts when they are there).
#   scripts/fuzz-sql.sh [seconds]     (default 20, for each target)
# Without clang it says so and succeeds. Findings land in build/fuzz/run/sql.
set -euo pipefail

seconds="${1:-20}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"  # one project for every fuzz target

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz-sql: clang is not installed; skipped"
  exit 0
fi

cmake -S "$root/cmake/fuzz" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target sql_expr_fuzz sql_statement_fuzz -j "${JOBS:-$(nproc)}"

run="$build/run/sql"
mkdir -p "$run/corpus"
cd "$run"
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/sql_expr_fuzz" -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$run/corpus" "$root/tests/db_sql/fuzz/corpus"

# Whole statements. Seeds from the shared scripts are written into the run folder
# (the scripts themselves stay where they are).
mkdir -p "$run/statements" "$run/statement-seeds"
oracles="$root/../shared/oracles/sqllogictest"
[ -d "$oracles" ] || oracles="$root/../../shared/oracles/sqllogictest"
if [ -d "$oracles" ] && [ -z "$(ls -A "$run/statement-seeds")" ]; then
  awk 'BEGIN { n = 0 }
       /^(statement|query)/ { getline sql; if (n < 400 && length(sql) < 400) print sql > (dir "/slt" n++ ".sql") }' \
    dir="$run/statement-seeds" "$oracles"/*.test
fi
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" \
  "$build/sql_statement_fuzz" -max_total_time="$seconds" -max_len=512 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$run/statements" "$root/tests/db_sql/fuzz/corpus-statements" "$run/statement-seeds"
