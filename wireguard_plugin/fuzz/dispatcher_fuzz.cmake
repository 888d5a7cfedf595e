# fuzz_dispatcher: libFuzzer target for the method dispatcher (native clang
# builds with ORVA_FUZZ). The plugin's sources are compiled into it again
# with the fuzzer's coverage instrumentation, so that the fuzzer is guided by
# the dispatcher's and the operations' branches; the product library stays
# uninstrumented.
get_target_property(orva_plugin_sources orva_wireguard_plugin SOURCES)
orva_add_fuzzer(fuzz_dispatcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dispatcher_fuzz.cc ${orva_plugin_sources}
  LIBRARIES orva_method_channel orva_codec
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/fuzz_dispatcher
  LABELS plugin)
