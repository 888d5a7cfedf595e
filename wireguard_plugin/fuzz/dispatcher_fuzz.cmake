# fuzz_dispatcher: libFuzzer target for the method dispatcher (native clang
# builds with ORVA_FUZZ). The plugin's sources are compiled into it again
# with the fuzzer's coverage instrumentation, so that the fuzzer is guided by
# the dispatcher's and the operations' branches; the product library stays
# uninstrumented. Its ctest entry is a short run over the committed seeds
# (new inputs go to a scratch corpus in the build tree, never into the
# sources); scripts/fuzz-long.sh finds it by name for long runs.
get_target_property(orva_plugin_sources orva_wireguard_plugin SOURCES)
add_executable(fuzz_dispatcher ${CMAKE_CURRENT_LIST_DIR}/dispatcher_fuzz.cc ${orva_plugin_sources})
target_compile_options(fuzz_dispatcher PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_dispatcher PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_dispatcher PRIVATE orva_method_channel orva_codec)
target_include_directories(fuzz_dispatcher PRIVATE ${PROJECT_SOURCE_DIR})

# The same bounds as the codec's fuzz targets when they are configured.
if(NOT DEFINED ORVA_FUZZ_SMOKE_SECONDS)
  set(ORVA_FUZZ_SMOKE_SECONDS 5)
endif()
if(NOT DEFINED ORVA_FUZZ_SMOKE_RUNS)
  set(ORVA_FUZZ_SMOKE_RUNS 300000)
endif()
set(fuzz_dispatcher_scratch ${CMAKE_CURRENT_BINARY_DIR}/fuzz_dispatcher_corpus)
file(MAKE_DIRECTORY ${fuzz_dispatcher_scratch})
add_test(NAME fuzz_dispatcher
         COMMAND fuzz_dispatcher -max_total_time=${ORVA_FUZZ_SMOKE_SECONDS}
                 -runs=${ORVA_FUZZ_SMOKE_RUNS} -max_len=4096 -print_final_stats=1
                 ${fuzz_dispatcher_scratch} ${CMAKE_CURRENT_LIST_DIR}/corpus/fuzz_dispatcher)
set_tests_properties(fuzz_dispatcher PROPERTIES LABELS "native;fuzz;plugin" TIMEOUT 120)
