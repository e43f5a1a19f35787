# Writes the module-definition file of the Windows DLL from the public header, so that a function
# is exported by declaring it there. Run as: cmake -DHEADER=telbook.h -DOUTPUT=telbook.def -P ...
#
# Every declaration of the form `TL_EXPORT <result> TL_CALLEE|TL_CALLER <Name>(<args>);`, on one
# line or several, becomes an export: a callee-pops function as `Name = Name@N` (N = 4 bytes for
# each argument, every argument taking one 32-bit stack slot), a caller-pops one by its name.
# The output is rewritten only when its text changes, so that an unrelated edit of the header
# does not relink the DLL.
cmake_minimum_required(VERSION 3.25)

if(NOT HEADER OR NOT OUTPUT)
  message(FATAL_ERROR "gen_def.cmake: HEADER and OUTPUT must be set")
endif()

file(READ "${HEADER}" text)
# Comments out, so that a commented declaration is not exported.
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
string(REGEX REPLACE "//[^\n]*" " " text "${text}")
# Preprocessor lines out: the macros that define TL_EXPORT are not declarations.
string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\\1" text "${text}")
# Semicolons are CMake's list separators: turn them into a mark of our own first.
string(REPLACE ";" "@SEMI@" text "${text}")
string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")

set(lines "LIBRARY telbook.dll\nEXPORTS\n")
set(count 0)
set(seen "")
string(REGEX MATCHALL "TL_EXPORT [^@(]*\\([^)]*\\)" decls "${text}")
foreach(decl IN LISTS decls)
  if(NOT decl MATCHES "^TL_EXPORT (.*) (TL_CALLEE|TL_CALLER) ?([A-Za-z_][A-Za-z0-9_]*) ?\\(([^)]*)\\)$")
    message(FATAL_ERROR "gen_def.cmake: cannot read the declaration `${decl}`: exported functions "
                        "are declared as `TL_EXPORT <result> TL_CALLEE|TL_CALLER Name(args)`")
  endif()
  set(convention "${CMAKE_MATCH_2}")
  set(name "${CMAKE_MATCH_3}")
  string(STRIP "${CMAKE_MATCH_4}" args)
  if(name IN_LIST seen)
    message(FATAL_ERROR "gen_def.cmake: ${name} is declared twice")
  endif()
  list(APPEND seen "${name}")
  if(convention STREQUAL "TL_CALLER")
    string(APPEND lines "  ${name}\n")
  else()
    if(args STREQUAL "" OR args STREQUAL "void")
      set(nargs 0)
    else()
      string(REGEX REPLACE "[^,]" "" commas "${args}")
      string(LENGTH "${commas}" nargs)
      math(EXPR nargs "${nargs} + 1")
    endif()
    math(EXPR bytes "${nargs} * 4")
    string(APPEND lines "  ${name} = ${name}@${bytes}\n")
  endif()
  math(EXPR count "${count} + 1")
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "gen_def.cmake: no exported function found in ${HEADER}")
endif()

set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL lines)
  file(WRITE "${OUTPUT}" "${lines}")
endif()
