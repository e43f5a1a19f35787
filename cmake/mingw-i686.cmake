# Cross build of the Windows DLL and its tests for i686 with mingw-w64; CTest runs the .exe files
# through Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TELBOOK_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

find_program(TELBOOK_WINE NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TELBOOK_WINE})
