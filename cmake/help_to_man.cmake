# A manual page (section 1) from a program's --help text, run at build time as
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY="one line" -DVERSION=x.y.z -DOUTPUT=file.1
#         -P help_to_man.cmake
# The help text is shown as it is (no refilling); roff's special characters are escaped.
# HELP_ARG: the argument that prints the whole help (default --help).
if(NOT DEFINED HELP_ARG)
  set(HELP_ARG --help)
endif()
execute_process(COMMAND ${PROGRAM} ${HELP_ARG} OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} ${HELP_ARG} failed (status ${status})")
endif()
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
# A line starting with a full stop or an apostrophe would be read as a request.
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" name_roff "${NAME}")
file(WRITE "${OUTPUT}.tmp"
     ".TH ${title} 1 \"\" \"layergreen ${VERSION}\" \"User Commands\"\n"
     ".SH NAME\n${name_roff} \\- ${SUMMARY}\n"
     ".SH DESCRIPTION\n.nf\n${help}.fi\n"
     ".SH SEE ALSO\nThe README.md of layergreen and its documents (docs/), installed in\n"
     "share/doc/layergreen; the examples in share/layergreen/examples.\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
