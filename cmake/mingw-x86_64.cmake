# Cross build of the library, the tool and their tests for x86_64 Windows with mingw-w64, run
# under 64-bit Wine. The product is the i686 build (cmake/mingw-i686.cmake); this one runs the
# same Windows code paths on machines whose kernel cannot start 32-bit programs, where the i686
# tests cannot run. The calling-convention test is i686-only and is left out here.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TELBOOK_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Debian's wine64 package installs the 64-bit loader without a command on PATH.
find_program(TELBOOK_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TELBOOK_WINE})
