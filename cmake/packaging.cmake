# Installation and packages: the library, its header, a CMake package (find_package(telbook)
# gives the imported target telbook::telbook), a pkg-config file, and on Windows the .def file
# and import library beside the DLL. CPack makes a .deb on Linux and a .zip on Windows.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TELBOOK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/telbook)

install(TARGETS telbook EXPORT telbookTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
install(EXPORT telbookTargets NAMESPACE telbook:: DESTINATION ${TELBOOK_CMAKE_DIR}
  COMPONENT library)

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/telbookConfig.cmake.in
  ${CMAKE_BINARY_DIR}/generated/telbookConfig.cmake
  INSTALL_DESTINATION ${TELBOOK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/generated/telbookConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/generated/telbookConfig.cmake
              ${CMAKE_BINARY_DIR}/generated/telbookConfigVersion.cmake
  DESTINATION ${TELBOOK_CMAKE_DIR} COMPONENT library)

file(RELATIVE_PATH TELBOOK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" TELBOOK_PC_TO_PREFIX "${TELBOOK_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/telbook.pc.in ${CMAKE_BINARY_DIR}/generated/telbook.pc
  @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/telbook.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT library)

if(WIN32)
  # The export list of the DLL, for hosts that make their own import library from it.
  install(FILES ${CMAKE_BINARY_DIR}/generated/telbook.def
    DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library)
endif()

set(CPACK_PACKAGE_NAME telbook)
set(CPACK_PACKAGE_VENDOR "telbook")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Phone book library of the PC-fax front end, and the telbook command-line tool")
set(CPACK_PACKAGE_CONTACT "telbook developers <telbook@localhost>")
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # The tool's dependencies (ICU, the C++ runtime) are found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
endif()
include(CPack)
