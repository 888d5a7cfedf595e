# fuzz_dispatcher: libFuzzer target for the method dispatcher (native clang
# builds with ORVA_FUZZ). The plugin's sources are compiled into it again
# with the fuzzer's coverage instrumentation, so that the fuzzer is guided by
# the dispatcher's and the operations' branches, not only by its own file.
get_target_property(orva_plugin_sources orva_wireguard_plugin SOURCES)
add_executable(fuzz_dispatcher ${CMAKE_CURRENT_LIST_DIR}/dispatcher_fuzz.cc ${orva_plugin_sources})
target_compile_options(fuzz_dispatcher PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_dispatcher PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_dispatcher PRIVATE orva_method_channel orva_codec)
target_include_directories(fuzz_dispatcher PRIVATE ${PROJECT_SOURCE_DIR})

# Smoke run for the test command: the seed corpus, then a fixed number of
# mutations. New inputs go to a scratch folder in the build tree, never into
# the committed seeds. A long run is
#   fuzz_dispatcher -runs=N <scratch> wireguard_plugin/fuzz/corpus
set(fuzz_dispatcher_scratch ${CMAKE_CURRENT_BINARY_DIR}/fuzz_dispatcher_corpus)
file(MAKE_DIRECTORY ${fuzz_dispatcher_scratch})
add_test(NAME fuzz_dispatcher_smoke
         COMMAND fuzz_dispatcher -runs=6000 -seed=1 -max_len=4096
                 ${fuzz_dispatcher_scratch} ${CMAKE_CURRENT_LIST_DIR}/corpus)
set_tests_properties(fuzz_dispatcher_smoke PROPERTIES LABELS "native;fuzz" TIMEOUT 300)
