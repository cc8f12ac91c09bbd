# Fuzz targets of db sql, built by the one fuzz project (cmake/fuzz).
tarnwick_fuzz_target(sql_expr_fuzz tarnwick_db_sql)
tarnwick_fuzz_target(sql_statement_fuzz tarnwick_db_sql)
