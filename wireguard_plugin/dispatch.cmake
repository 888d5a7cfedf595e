# The plugin's tunnel lifecycle, installer, method dispatch and channel
# binding (added to orva_wireguard_plugin from core.cmake), its registration
# with the engine (Windows), their unit tests (native and Windows), and the
# dispatcher's fuzz target (native, ORVA_FUZZ).

target_sources(orva_wireguard_plugin PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle.cc
  ${CMAKE_CURRENT_LIST_DIR}/installer.cc
  ${CMAKE_CURRENT_LIST_DIR}/dispatch.cc
  ${CMAKE_CURRENT_LIST_DIR}/plugin_binding.cc)
target_link_libraries(orva_wireguard_plugin PUBLIC orva_method_channel)

if(WIN32)
  # RegistrarCache lives in the engine embedding layer.
  target_sources(orva_wireguard_plugin PRIVATE ${CMAKE_CURRENT_LIST_DIR}/registration.cc)
  set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/registration.cc APPEND PROPERTY
               COMPILE_DEFINITIONS "ORVA_PROGRAM_VERSION=\"${PROJECT_VERSION}\"")
  target_link_libraries(orva_wireguard_plugin PUBLIC orva_engine_client)
endif()

orva_add_gtest(wireguard_plugin_dispatch_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/lifecycle_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/installer_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/dispatch_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/plugin_binding_test.cc
  LIBRARIES orva_wireguard_plugin
  LABELS plugin)

if(ORVA_FUZZ AND NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  include(${CMAKE_CURRENT_LIST_DIR}/fuzz/dispatcher_fuzz.cmake)
endif()
