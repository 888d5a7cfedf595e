# GoogleTest from Debian's source package, and one helper to declare tests.
enable_testing()
include(GoogleTest)

set(ORVA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ORVA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# orva_add_gtest(<target> SOURCES <files...> [LIBRARIES <libs...>] [LABELS <labels...>]
#                [TIMEOUT <seconds>])
#
# Natively every test case becomes its own ctest entry.  Under Wine each test
# binary is one ctest entry: one Wine process per binary instead of one per
# case keeps the suite fast.
function(orva_add_gtest target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "windows;${ARG_LABELS}")
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "native;${ARG_LABELS}")
  endif()
endfunction()

# Fuzz targets (native clang builds with ORVA_FUZZ): each gets a short ctest
# run over its committed seed corpus; new inputs go to a scratch corpus in the
# build tree, never into the sources. scripts/fuzz-long.sh runs every
# executable named fuzz_* for longer.
set(ORVA_FUZZ_SMOKE_SECONDS 5 CACHE STRING "Seconds of each fuzz target's ctest run")
set(ORVA_FUZZ_SMOKE_RUNS 300000 CACHE STRING "Most inputs of each fuzz target's ctest run")

# orva_add_fuzzer(<fuzz_name> SOURCES <files...> LIBRARIES <libs...> CORPUS <dir> [LABELS <labels...>])
function(orva_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${ORVA_FUZZ_SMOKE_SECONDS}
                   -runs=${ORVA_FUZZ_SMOKE_RUNS} -max_len=4096 -print_final_stats=1
                   ${scratch} ${ARG_CORPUS})
  set_tests_properties(${name} PROPERTIES LABELS "native;fuzz;${ARG_LABELS}" TIMEOUT 120)
endfunction()
