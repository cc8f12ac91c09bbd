# Fuzz targets of media parse, built by the one fuzz project (cmake/fuzz).
tarnwick_fuzz_target(parse_fuzzer tarnwick_media)
