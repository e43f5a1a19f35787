# What the two Windows cross toolchains share: mingw-w64 compilers of the posix thread model
# (GoogleTest needs it) for TELBOOK_MINGW_PREFIX, and the search paths of a cross build.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TELBOOK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELBOOK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TELBOOK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TELBOOK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
