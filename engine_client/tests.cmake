# Tests of the engine embedding layer.

# Portable: natively under the sanitizers and, under Wine, in the Windows
# build; the engine library is played by the fake of testing/.
orva_add_gtest(messenger_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/binary_messenger_impl_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/texture_registrar_impl_test.cc
  LIBRARIES orva_messenger orva_fake_engine)

# Windows only: against the stand-in engine library, its test controls and the
# stand-in plugin libraries. Some tests create windows, so the suite needs the
# virtual display.
if(WIN32)
  orva_add_gtest(engine_client_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/flutter_engine_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/flutter_view_controller_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/plugin_registrar_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/generated_plugin_registrant_test.cc
    LIBRARIES orva_generated_plugins orva_engine_client orva_method_channel)
  # bin/data holds the engine's runtime files for the tests that start a view.
  add_dependencies(engine_client_tests standin_engine_runtime)
endif()
