# Fuzz targets of db storage, built by the one fuzz project (cmake/fuzz).
tarnwick_fuzz_target(disk_file_fuzz tarnwick_db_storage)

tarnwick_fuzz_target(dbfile_fuzz tarnwick_db_storage)
add_executable(dbfile_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/dbfile_fuzz_seeds.cpp)
target_link_libraries(dbfile_fuzz_seeds PRIVATE tarnwick_db_storage)
