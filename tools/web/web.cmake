# The web editor of the tool (`telbook serve`), included by tools/CMakeLists.txt. The command is
# always built; the server needs cpp-httplib (Debian libcpp-httplib-dev, found through
# pkg-config), which has no mingw-w64 build, so a Windows tool and a machine without it say that
# serve is not in this build. Sets TELBOOK_WEB_SOURCES, TELBOOK_WEB_LIBRARIES,
# TELBOOK_WEB_DEFINITIONS and TELBOOK_HAVE_SERVER.
set(TELBOOK_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TELBOOK_WEB_SOURCES ${TELBOOK_WEB_DIR}/serve_command.cc ${TELBOOK_WEB_DIR}/security.cc)
set(TELBOOK_WEB_LIBRARIES)
set(TELBOOK_WEB_DEFINITIONS)
set(TELBOOK_HAVE_SERVER OFF)
if(NOT WIN32)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(CPPHTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
  endif()
  if(CPPHTTPLIB_FOUND)
    set(TELBOOK_HAVE_SERVER ON)
  endif()
endif()

if(TELBOOK_HAVE_SERVER)
  # The pages, styles and scripts are compiled in; nothing is fetched at run time.
  file(GLOB TELBOOK_WEB_ASSETS CONFIGURE_DEPENDS ${TELBOOK_WEB_DIR}/assets/*)
  set(TELBOOK_WEB_ASSETS_CC ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cc)
  add_custom_command(
    OUTPUT ${TELBOOK_WEB_ASSETS_CC}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${TELBOOK_WEB_ASSETS_CC} "-DFILES=${TELBOOK_WEB_ASSETS}"
            -P ${TELBOOK_WEB_DIR}/embed_assets.cmake
    DEPENDS ${TELBOOK_WEB_ASSETS} ${TELBOOK_WEB_DIR}/embed_assets.cmake
    COMMENT "Embedding the web editor's pages"
    VERBATIM)
  list(APPEND TELBOOK_WEB_SOURCES ${TELBOOK_WEB_DIR}/server.cc ${TELBOOK_WEB_DIR}/book_view.cc
       ${TELBOOK_WEB_DIR}/forms.cc ${TELBOOK_WEB_DIR}/posix_web_system.cc ${TELBOOK_WEB_ASSETS_CC})
  set(TELBOOK_WEB_LIBRARIES PkgConfig::CPPHTTPLIB)
  # Deleting records lights up once the library's interface has it.
  file(STRINGS ${CMAKE_SOURCE_DIR}/interface/telbook.h TELBOOK_DELETE_DECLARED REGEX "TL_deleteKojin")
  if(TELBOOK_DELETE_DECLARED)
    list(APPEND TELBOOK_WEB_DEFINITIONS TELBOOK_HAVE_DELETE=1)
  endif()
else()
  list(APPEND TELBOOK_WEB_SOURCES ${TELBOOK_WEB_DIR}/no_server.cc)
  message(STATUS "telbook tool: serve is not in this build (no cpp-httplib; Debian "
                 "libcpp-httplib-dev)")
endif()
