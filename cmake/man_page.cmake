# Writes the wendrake(1) man page, gzipped: help2man makes the page from the
# tool's --help and --version, and this script adds a SUBCOMMANDS section
# with every subcommand's own --help (usage, arguments, every option, notes),
# so the page documents what the tool itself says, whatever subcommands and
# options it has.
#   cmake -DTOOL=wendrake -DHELP2MAN=help2man -DGZIP=gzip -DWORK=dir -DOUTPUT=wendrake.1.gz -P man_page.cmake

function(run_help out)
  execute_process(COMMAND ${TOOL} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} ${ARGN} --help failed: ${failed}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text as roff: backslashes escaped, and no line read as a request.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

run_help(main)
string(REGEX MATCH "\nSubcommands:\n(  [^\n]*\n)+" listing "${main}")
string(REGEX MATCHALL "\n  [a-z]+" names "${listing}")
if(NOT names)
  message(FATAL_ERROR "${TOOL} --help lists no subcommands")
endif()

set(include "[SUBCOMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  run_help(help ${name})
  string(REPLACE ";" "\\;" help "${help}")  # a list must not split the text
  string(REPLACE "\n" ";" lines "${help}")
  string(APPEND include ".SS \"wendrake ${name}\"\n")
  set(block "")  # a section of the help (Usage, Positionals, Options) or prose
  foreach(line IN LISTS lines)
    if(line MATCHES "^  ([^ ].*[^ ])  +([^ ].*)$")
      # An argument or option and what it does, as a tagged paragraph.
      roff_text(tag "${CMAKE_MATCH_1}")
      roff_text(what "${CMAKE_MATCH_2}")
      string(REPLACE "-" "\\-" tag "${tag}")
      string(APPEND include ".TP\n\\fB${tag}\\fR\n${what}\n")
    elseif(line MATCHES "^Usage: (.*)$")
      roff_text(usage "${CMAKE_MATCH_1}")
      string(REPLACE "-" "\\-" usage "${usage}")
      string(APPEND include ".PP\n\\fBUsage:\\fR ${usage}\n")
    elseif(line MATCHES "^([A-Za-z]+):$")
      string(APPEND include ".PP\n\\fI${CMAKE_MATCH_1}:\\fR\n")
    elseif(line STREQUAL "")
      string(APPEND include ".PP\n")
    else()
      roff_text(text "${line}")
      string(APPEND include "${text}\n")
    endif()
  endforeach()
endforeach()
file(WRITE ${WORK}/subcommands.h2m "${include}")

execute_process(COMMAND ${HELP2MAN} --no-info --no-discard-stderr
                        --name "decode CDMA 1x / EV-DO drive-test text logs"
                        --include ${WORK}/subcommands.h2m --output ${WORK}/wendrake.1 ${TOOL}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed: ${failed}")
endif()
# -n: no name or time stamp in the archive, so two builds give the same bytes.
execute_process(COMMAND ${GZIP} -9nc ${WORK}/wendrake.1 OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed: ${failed}")
endif()
