# Cross-compiles the Windows product with MinGW-w64 (x86_64, POSIX threads
# model, so std::thread, std::mutex and std::call_once work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows test executables run through Wine (scripts/wine-run.sh keeps a
# private prefix inside the build tree).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
