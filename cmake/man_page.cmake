# Writes the manual page of the telbook tool from its own help texts: the tool's --help and
# --version, then each command's --help, so that the page says what the tool says. Run after the
# tool is built, on the machine it runs on:
#   cmake -DTOOL=path/to/telbook -DOUTPUT=telbook.1 -P man_page.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT TOOL OR NOT OUTPUT)
  message(FATAL_ERROR "man_page.cmake: TOOL and OUTPUT must be set")
endif()

function(help out)
  execute_process(COMMAND ${TOOL} ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status
                  ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "man_page.cmake: `telbook ${ARGN}` failed (${status})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text shown as it is: backslashes escaped, and a line that begins with a dot or a quote kept
# from being read as a request.
function(verbatim out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

help(top --help)
help(version --version)
string(REGEX MATCH "^telbook ([^\n]*)" _ "${version}")
set(release "${CMAKE_MATCH_1}")

# The commands, as the tool lists them under "Subcommands:".
string(REGEX REPLACE ".*\nSubcommands:\n" "" listing "${top}")
string(REGEX REPLACE "\n\n.*" "" listing "${listing}")
string(REGEX MATCHALL "(^|\n)  [a-z]+" names "${listing}")

set(page ".TH TELBOOK 1 \"\" \"telbook ${release}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\ntelbook \\- keep, move and repair the phone books of the PC-fax "
                   "front end\n")
string(APPEND page ".SH SYNOPSIS\n.B telbook\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIARGUMENTS\\fR]\n")
verbatim(text "${top}")
string(APPEND page ".SH DESCRIPTION\n${text}")
string(APPEND page ".SH COMMANDS\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  help(text ${name} --help)
  verbatim(text "${text}")
  string(APPEND page ".SS ${name}\n${text}")
endforeach()
verbatim(text "${version}")
string(APPEND page ".SH VERSION\n${text}")

set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL page)
  file(WRITE "${OUTPUT}" "${page}")
endif()
