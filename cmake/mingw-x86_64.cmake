# Cross build of the library, the tool and their tests for x86_64 Windows with mingw-w64, run
# under 64-bit Wine. The product is the i686 build (cmake/mingw-i686.cmake); this one runs the
# same Windows code paths on machines whose kernel cannot start 32-bit programs, where the i686
# tests cannot run. The calling-convention test is i686-only and is left out here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TELBOOK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TELBOOK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELBOOK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TELBOOK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TELBOOK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's wine64 package installs the 64-bit loader without a command on PATH.
find_program(TELBOOK_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TELBOOK_WINE})
