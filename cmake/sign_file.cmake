# Writes OUTPUT as INPUT with a SHA-256 Authenticode signature, or as a plain
# copy of INPUT when no code-signing certificate is given. Run at build time:
#
#   cmake -D INPUT=<file> -D OUTPUT=<file> -D BUILD_DIR=<build folder>
#         -D OSSLSIGNCODE=<path> [-D DESCRIPTION=<text>] -P sign_file.cmake
#
# The certificate comes from the environment (ORVA_SIGN_PKCS12,
# ORVA_SIGN_PASSWORD, ORVA_SIGN_TIMESTAMP_URL) when ORVA_SIGN_PKCS12 is set
# there, else from the same entries of BUILD_DIR's cache, all three from the
# one place. The password reaches osslsigncode through a pipe (-readpass -)
# from a shell that takes it from its environment: it never rests in a file,
# so an interrupted step leaves it nowhere, and it is never on a command line
# and never printed.
cmake_minimum_required(VERSION 3.25)
foreach(var INPUT OUTPUT BUILD_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "sign_file.cmake: ${var} not set")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "sign_file.cmake: no ${INPUT}")
endif()

if(NOT "$ENV{ORVA_SIGN_PKCS12}" STREQUAL "")
  set(pkcs12 "$ENV{ORVA_SIGN_PKCS12}")
  set(password "$ENV{ORVA_SIGN_PASSWORD}")
  set(timestamp_url "$ENV{ORVA_SIGN_TIMESTAMP_URL}")
else()
  load_cache("${BUILD_DIR}" READ_WITH_PREFIX cache_
             ORVA_SIGN_PKCS12 ORVA_SIGN_PASSWORD ORVA_SIGN_TIMESTAMP_URL)
  set(pkcs12 "${cache_ORVA_SIGN_PKCS12}")
  set(password "${cache_ORVA_SIGN_PASSWORD}")
  set(timestamp_url "${cache_ORVA_SIGN_TIMESTAMP_URL}")
endif()

get_filename_component(name "${OUTPUT}" NAME)
if(pkcs12 STREQUAL "")
  if(NOT INPUT STREQUAL OUTPUT)
    file(COPY_FILE "${INPUT}" "${OUTPUT}")
  endif()
  return()
endif()
if(NOT IS_ABSOLUTE "${pkcs12}")
  message(FATAL_ERROR "Cannot sign ${name}: ORVA_SIGN_PKCS12 must be an absolute path, not ${pkcs12}")
endif()
if(NOT EXISTS "${pkcs12}")
  message(FATAL_ERROR "Cannot sign ${name}: the certificate file ${pkcs12} does not exist")
endif()
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "Cannot sign ${name}: osslsigncode is not installed (Debian package osslsigncode)")
endif()

# One private folder per output, so parallel signing steps do not meet.
string(MD5 key "${OUTPUT}")
set(private "${BUILD_DIR}/signing/${key}")
file(REMOVE_RECURSE "${private}")
file(MAKE_DIRECTORY "${private}")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# osslsigncode refuses to write over an existing output, and INPUT may be
# OUTPUT: sign into the private folder, then move into place.
set(args sign -pkcs12 "${pkcs12}" -h sha256)
# osslsigncode cannot read an empty password; a PKCS#12 file without a
# password needs none.
set(feed)
if(NOT password STREQUAL "")
  set(ENV{ORVA_SIGN_PASSWORD} "${password}")
  set(feed COMMAND sh -c [[printf %s "$ORVA_SIGN_PASSWORD"]])
  list(APPEND args -readpass -)
endif()
if(DESCRIPTION)
  list(APPEND args -n "${DESCRIPTION}")
endif()
if(NOT timestamp_url STREQUAL "")
  list(APPEND args -ts "${timestamp_url}")
endif()
# Bounded, so a timestamp server that never answers fails the build instead
# of holding it.
execute_process(${feed} COMMAND "${OSSLSIGNCODE}" ${args} -in "${INPUT}" -out "${private}/${name}"
                TIMEOUT 300 RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE_RECURSE "${private}")
  message(FATAL_ERROR "Signing ${name} failed (osslsigncode ${result}):\n${output}")
endif()
file(RENAME "${private}/${name}" "${OUTPUT}")
file(REMOVE_RECURSE "${private}")
message(STATUS "Signed ${name} (SHA-256 Authenticode)")
