# Cross build of the Windows DLL with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
# Tests run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${VELM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELM_MINGW_PREFIX}-windres)

# Appended, so that a consumer's own roots (CMAKE_PREFIX_PATH under them) still count.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VELM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VELM_WINE NAMES wine64 wine)
if(VELM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELM_WINE})
endif()
