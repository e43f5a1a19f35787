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
