# Fuzz targets of imaging, built by the one fuzz project (cmake/fuzz).
tarnwick_fuzz_target(png_read_fuzz tarnwick_imaging)
tarnwick_fuzz_target(bmp_read_fuzz tarnwick_platform_vcl)
