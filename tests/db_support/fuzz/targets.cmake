# Fuzz targets of db support, built by the one fuzz project (cmake/fuzz).
foreach(target ppm_decode_fuzz blob_read_fuzz)
  tarnwick_fuzz_target(${target} tarnwick_db_support)
endforeach()
