# The export list of the Windows DLL, generated from the public header at build time (see
# gen_def.cmake) and regenerated whenever the header changes.
function(telbook_generated_def target header)
  set(def ${CMAKE_BINARY_DIR}/generated/telbook.def)
  add_custom_command(
    OUTPUT ${def}
    COMMAND ${CMAKE_COMMAND} -DHEADER=${header} -DOUTPUT=${def}
            -P ${CMAKE_SOURCE_DIR}/cmake/gen_def.cmake
    DEPENDS ${header} ${CMAKE_SOURCE_DIR}/cmake/gen_def.cmake
    COMMENT "Generating telbook.def from telbook.h"
    VERBATIM)
  target_sources(${target} PRIVATE ${def})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def})
endfunction()

# The import library that ld makes with the DLL names the callee-pops functions undecorated, as
# the DLL exports them, while telbook.h makes a host's compiler ask for TL_openDataBase@8 and the
# like. It is replaced after every link by one that dlltool makes for hosts of the header: the
# decorated names, bound (--kill-at) to the undecorated exports.
function(telbook_host_import_library target)
  if(CMAKE_DLLTOOL)
    set(dlltool ${CMAKE_DLLTOOL})
  else()
    find_program(TELBOOK_DLLTOOL NAMES ${TELBOOK_MINGW_PREFIX}-dlltool dlltool REQUIRED)
    set(dlltool ${TELBOOK_DLLTOOL})
  endif()
  set(def ${CMAKE_BINARY_DIR}/generated/telbook.def)
  set(host_def ${CMAKE_BINARY_DIR}/generated/telbook_host.def)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DINPUT=${def} -DOUTPUT=${host_def}
            -P ${CMAKE_SOURCE_DIR}/cmake/host_def.cmake
    COMMAND ${dlltool} --kill-at -d ${host_def} -D $<TARGET_FILE_NAME:${target}>
            -l $<TARGET_LINKER_FILE:${target}>
    COMMENT "Making the import library of telbook.dll for hosts of telbook.h"
    VERBATIM)
endfunction()
