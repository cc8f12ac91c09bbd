# Helpers shared by every folder's CMakeLists.txt.

# tarnwick_library(<name> SOURCES ... [DEPS ...] [SYSTEM ...])
# One static library per folder; DEPS are other tarnwick libraries or system targets.
function(tarnwick_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# tarnwick_test(<name> SOURCES ... LIBS ... LABELS unit|media|display|slow|threads ...)
# A GoogleTest executable; each test case becomes one CTest test carrying the labels.
function(tarnwick_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  # Test discovery flattens a property list once more, so several labels would lose all but the first.
  # They travel as one label joined by "+"; ctest -L matches labels as regular expressions, so
  # "ctest -L threads" still selects a test labelled "unit+threads".
  list(JOIN ARG_LABELS "+" labels)
  # Display tests share one X server (its pointer, keyboard focus and selections): one at a time.
  set(lock "")
  if("display" IN_LIST ARG_LABELS)
    set(lock RESOURCE_LOCK x_display)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT} ${lock})
  if("threads" IN_LIST ARG_LABELS)
    add_dependencies(tarnwick_threads_tests ${name})
  endif()
endfunction()

# tarnwick_window_definitions(<target> <definition file> ...)
# Embeds each window definition's text into <target>; forms find it by their
# class name at run time. The generated sources are rebuilt when a file changes.
function(tarnwick_window_definitions target)
  foreach(file IN LISTS ARGN)
    get_filename_component(abs ${file} ABSOLUTE)
    get_filename_component(stem ${file} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/window_definitions/${stem}.cpp)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${abs} -DOUTPUT=${out} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedDefinition.cmake
      DEPENDS ${abs} ${PROJECT_SOURCE_DIR}/cmake/EmbedDefinition.cmake
      COMMENT "Embedding window definition ${stem}")
    target_sources(${target} PRIVATE ${out})
  endforeach()
endfunction()
