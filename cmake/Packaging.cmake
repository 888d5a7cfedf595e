# The shipped form of the product: a ZIP of the bundle folder
# (orva_vpn.exe, signed when the build signs; the engine and plugin
# libraries, data\ and the WireGuard installer in wireguard\).
# `cmake --build build/windows --target package` or `cpack` in the build tree
# writes it.
install(DIRECTORY ${CMAKE_BINARY_DIR}/bundle/ DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orva_vpn)
set(CPACK_PACKAGE_VENDOR "${ORVA_PUBLISHER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ORVA VPN Windows client")
set(CPACK_PACKAGE_FILE_NAME orva_vpn-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
