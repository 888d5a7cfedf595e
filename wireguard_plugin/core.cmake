# The plugin's core: the platform seam and its Win32 implementation, the
# command runner and log, detection, the configuration file, status and
# statistics; their unit tests (native and Windows) and the Windows
# integration tests that run them against a real Wine prefix.
add_library(orva_wireguard_plugin STATIC
  wireguard_plugin.cc
  command_runner.cc
  detection.cc
  config_file.cc
  key_redaction.cc
  support_log.cc
  status.cc
  call_worker.cc)
if(WIN32)
  target_sources(orva_wireguard_plugin PRIVATE win32_plugin_env.cc)
  target_link_libraries(orva_wireguard_plugin PUBLIC orva_common advapi32 shell32 user32)
endif()
target_include_directories(orva_wireguard_plugin PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orva_wireguard_plugin PUBLIC orva_method_channel orva_codec)

orva_add_gtest(wireguard_plugin_core_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_runner_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/detection_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/config_file_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/key_redaction_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/support_log_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/status_test.cc
  LIBRARIES orva_wireguard_plugin
  LABELS plugin)

if(WIN32)
  # A child program whose behaviour the integration tests choose on its
  # command line: print bytes, exit with a code, sleep, keep a grandchild
  # holding the output pipe, or play wg.exe.
  add_executable(plugin_test_child ${CMAKE_CURRENT_LIST_DIR}/testing/plugin_test_child.cc)
  # The same program without a console. A console child shares its console
  # host, which under Wine inherits the pipe's write end too and keeps it
  # until the child exits; only a console-less child can end its output and
  # live on, which the 2000 ms wait after the output needs.
  add_executable(plugin_test_gui_child ${CMAKE_CURRENT_LIST_DIR}/testing/plugin_test_child.cc)
  if(MSVC)
    target_link_options(plugin_test_gui_child PRIVATE /SUBSYSTEM:WINDOWS /ENTRY:mainCRTStartup)
  else()
    target_link_options(plugin_test_gui_child PRIVATE -Wl,--subsystem,windows)
  endif()

  orva_add_gtest(wireguard_plugin_win32_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_plugin_env_test.cc
    LIBRARIES orva_wireguard_plugin orva_debug_output_capture
    LABELS plugin
    TIMEOUT 300)
  add_dependencies(wireguard_plugin_win32_test plugin_test_child plugin_test_gui_child)
  # Changes Program Files, ProgramData, the registry, and owns the debug
  # output buffer while it runs.
  set_tests_properties(wireguard_plugin_win32_test PROPERTIES RUN_SERIAL TRUE)

  # A save on a full disk, for real: the configuration folder on a 16 KiB
  # tmpfs (mounted by the script; skipped where nothing can be mounted).
  add_test(NAME wireguard_plugin_small_disk
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/testing/small_disk_test.sh
                   $<TARGET_FILE:wireguard_plugin_win32_test>)
  set_tests_properties(wireguard_plugin_small_disk PROPERTIES
                       SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 120 LABELS "windows;plugin")
endif()
