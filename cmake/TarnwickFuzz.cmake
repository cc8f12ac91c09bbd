# The settings of the libFuzzer project (cmake/fuzz, built apart from the main
# tree): clang only, C++20, every object instrumented for coverage
# with AddressSanitizer and UndefinedBehaviourSanitizer; only the targets link
# the fuzzer's main (-fsanitize=fuzzer).
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang (libFuzzer)")
endif()
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
# Unoptimised with line tables only: the short runs need a fast build more than
# fast code, and the sanitizers' reports need only file and line.
set(CMAKE_BUILD_TYPE Debug CACHE STRING "")
set(CMAKE_C_FLAGS_DEBUG "-gline-tables-only")
set(CMAKE_CXX_FLAGS_DEBUG "-gline-tables-only")
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
get_filename_component(TARNWICK_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# tarnwick_fuzz_target(<name> <library> ...)
# A fuzz target from <name>.cpp beside the file that names it, linked with the
# libraries and the fuzzer's main.
function(tarnwick_fuzz_target name)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
