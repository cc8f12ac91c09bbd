# Fuzz targets of skin core, built by the one fuzz project (cmake/fuzz).
find_package(ZLIB REQUIRED)
foreach(target skin_archive_fuzz skin_options_fuzz)
  tarnwick_fuzz_target(${target} tarnwick_skin_data)
endforeach()
add_executable(skin_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/skin_fuzz_seeds.cpp)
target_include_directories(skin_fuzz_seeds PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(skin_fuzz_seeds PRIVATE tarnwick_skin_data ZLIB::ZLIB)
