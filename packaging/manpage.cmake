# Makes a manual page from a program's own --help and --version texts, so
# the page never says anything the program does not.
#
#   cmake -DPROGRAM=path -DNAME=tessaly -DSUMMARY="..." -DOUTPUT=tessaly.1 -P manpage.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var PROGRAM NAME SUMMARY OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "manpage.cmake: ${var} not given")
    endif()
endforeach()

# Runs the program with one switch; its standard output, exit status 0 required.
function(program_text switch out)
    execute_process(COMMAND "${PROGRAM}" ${switch}
        OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE status
        TIMEOUT 60)
    if(NOT status EQUAL 0 OR text STREQUAL "")
        message(FATAL_ERROR "${PROGRAM} ${switch} failed (${status}): ${err}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Escapes text for roff: backslashes, minus signs (so options copy as ASCII
# hyphens) and control characters at the start of a line.
function(roff_escape text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

program_text(--help help)
program_text(--version version)
string(STRIP "${version}" version)
string(REGEX REPLACE "^[^ ]+ " "" versionNumber "${version}")
string(TOUPPER "${NAME}" upperName)

# The help text splits at its blank lines; a block whose first line starts
# with "Usage:" becomes the synopsis, the rest the description, kept as
# laid out (the texts are aligned for a terminal).
# Semicolons and brackets would confuse CMake's lists: they travel as
# placeholders until the page is written.
string(REGEX REPLACE "\n+$" "" help "${help}")
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "[" "<open>" help "${help}")
string(REPLACE "]" "<close>" help "${help}")
string(REGEX REPLACE "\n[ \t]*\n" ";" blocks "${help}")

set(synopsis "")
set(description "")
foreach(block IN LISTS blocks)
    roff_escape("${block}" escaped)
    if(synopsis STREQUAL "" AND block MATCHES "^[Uu]sage: ")
        string(REGEX REPLACE "^[Uu]sage: " "" escaped "${escaped}")
        string(REGEX REPLACE "\n[ \t]+" "\n" escaped "${escaped}")
        string(REPLACE "\n" "\n.br\n" escaped "${escaped}")
        set(synopsis "${escaped}\n")
    elseif(block MATCHES "^${NAME}: ")
        # "program: what it is" repeats the NAME line.
        continue()
    else()
        string(APPEND description ".PP\n.nf\n${escaped}\n.fi\n")
    endif()
endforeach()

roff_escape("${SUMMARY}" summary)
set(page ".\\\" Made from ${NAME} --help by manpage.cmake; edit the program's help text instead.\n")
string(APPEND page ".TH ${upperName} 1 \"\" \"Korvane ${versionNumber}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${summary}\n")
if(NOT synopsis STREQUAL "")
    string(APPEND page ".SH SYNOPSIS\n${synopsis}")
endif()
string(APPEND page ".SH DESCRIPTION\n${description}")
string(APPEND page ".SH VERSION\n${versionNumber}\n")
if(DEFINED SEE_ALSO AND NOT SEE_ALSO STREQUAL "")
    string(REPLACE "," ";" others "${SEE_ALSO}")
    set(refs "")
    foreach(other IN LISTS others)
        list(APPEND refs ".BR ${other} (1)")
    endforeach()
    list(JOIN refs ",\n" refs)
    string(APPEND page ".SH SEE ALSO\n${refs}\n")
endif()

string(REPLACE "<semicolon>" ";" page "${page}")
string(REPLACE "<open>" "[" page "${page}")
string(REPLACE "<close>" "]" page "${page}")

file(WRITE "${OUTPUT}" "${page}")
