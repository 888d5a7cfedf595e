# What a release puts its name to: the publisher, and the code-signing
# certificate that orva_vpn.exe and the MSI are signed with.
#
# ORVA_PUBLISHER names the company in the executable's version resource
# (CompanyName, LegalCopyright) and the MSI's Manufacturer, so that Windows
# shows one publisher for the program, its package and its entry under
# installed programs. It should be the certificate's subject organisation.
set(ORVA_PUBLISHER "ORVA" CACHE STRING "Publisher named by orva_vpn.exe's version resource and the MSI")
if(ORVA_PUBLISHER STREQUAL "" OR ORVA_PUBLISHER MATCHES "[\"\\]")
  message(FATAL_ERROR "ORVA_PUBLISHER must be a name without quotes and backslashes, not \"${ORVA_PUBLISHER}\"")
endif()
set(ORVA_PRODUCT_NAME "ORVA VPN")

# Code signing (SHA-256 Authenticode, osslsigncode): the bundle's
# orva_vpn.exe is signed as it is copied into the bundle, before the ZIP and
# the MSI take it in, and each MSI is signed right after wixl writes it.
# The certificate is read when those steps run, from the environment
# (ORVA_SIGN_PKCS12, ORVA_SIGN_PASSWORD, ORVA_SIGN_TIMESTAMP_URL) or, when
# ORVA_SIGN_PKCS12 is not in the environment, from these cache entries; see
# sign_file.cmake. The password never reaches a command line.
set(ORVA_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and its key (empty: unsigned)")
set(ORVA_SIGN_PASSWORD "" CACHE STRING "Password of ORVA_SIGN_PKCS12 (the environment variable keeps it out of the cache)")
set(ORVA_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server used when signing (empty: no timestamp)")
mark_as_advanced(ORVA_SIGN_PASSWORD)
find_program(ORVA_OSSLSIGNCODE osslsigncode)

if(ORVA_SIGN_PKCS12 OR NOT "$ENV{ORVA_SIGN_PKCS12}" STREQUAL "")
  if(NOT ORVA_OSSLSIGNCODE)
    message(FATAL_ERROR "A code-signing certificate is given but osslsigncode is not installed (Debian package osslsigncode)")
  endif()
  message(STATUS "Code signing: orva_vpn.exe and the MSI are signed (SHA-256 Authenticode)")
else()
  message(NOTICE "orva_vpn.exe and the MSI are built unsigned: no code-signing certificate given (ORVA_SIGN_PKCS12)")
endif()

# orva_sign_command(<out-var> <input> <output>): the build-time command that
# writes <output> as <input> signed, or as a plain copy when no certificate is
# given. <input> and <output> may be the same file.
function(orva_sign_command out_var input output)
  set(${out_var}
    COMMAND ${CMAKE_COMMAND} -D INPUT=${input} -D OUTPUT=${output} -D BUILD_DIR=${CMAKE_BINARY_DIR}
            -D OSSLSIGNCODE=${ORVA_OSSLSIGNCODE} -D DESCRIPTION=${ORVA_PRODUCT_NAME}
            -P ${PROJECT_SOURCE_DIR}/cmake/sign_file.cmake
    PARENT_SCOPE)
endfunction()
