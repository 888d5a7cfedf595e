# The shipped folder, laid out in ${CMAKE_BINARY_DIR}/bundle:
#
#   orva_vpn.exe                       (signed when a certificate is given)
#   flutter_windows.dll
#   connectivity_plus_plugin.dll, flutter_secure_storage_windows_plugin.dll,
#   permission_handler_windows_plugin.dll, url_launcher_windows_plugin.dll
#   data\flutter_assets\, data\icudtl.dat, data\app.so
#   wireguard\wireguard-installer.msi   (when the stand-in installer is built)
#
# The folder is rebuilt from scratch on every build, so nothing stale ships.
set(ORVA_BUNDLE_DIR ${CMAKE_BINARY_DIR}/bundle)

# orva_vpn.exe is signed on its way in (Release.cmake) when a certificate is
# given; the other libraries are the engine's and plugins' own.
set(orva_bundle_binaries
  flutter_windows
  connectivity_plus_plugin
  flutter_secure_storage_windows_plugin
  permission_handler_windows_plugin
  url_launcher_windows_plugin)

set(orva_bundle_commands
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ORVA_BUNDLE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVA_BUNDLE_DIR})
orva_sign_command(sign_executable $<TARGET_FILE:orva_vpn> ${ORVA_BUNDLE_DIR}/orva_vpn.exe)
list(APPEND orva_bundle_commands ${sign_executable})
foreach(binary ${orva_bundle_binaries})
  list(APPEND orva_bundle_commands
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${binary}> ${ORVA_BUNDLE_DIR}/)
endforeach()
list(APPEND orva_bundle_commands
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_BINARY_DIR}/bin/data ${ORVA_BUNDLE_DIR}/data)

set(orva_bundle_depends orva_vpn ${orva_bundle_binaries} standin_engine_runtime)
if(TARGET standin_wireguard_msi)
  list(APPEND orva_bundle_depends standin_wireguard_msi)
  list(APPEND orva_bundle_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVA_BUNDLE_DIR}/wireguard
    COMMAND ${CMAKE_COMMAND} -E copy ${ORVA_STANDIN_WIREGUARD_INSTALLER} ${ORVA_BUNDLE_DIR}/wireguard/)
endif()

add_custom_target(bundle ALL
  ${orva_bundle_commands}
  COMMENT "Laying out the shipped folder in ${ORVA_BUNDLE_DIR}"
  VERBATIM)
add_dependencies(bundle ${orva_bundle_depends})
