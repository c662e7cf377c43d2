# Writes a manual page (section 1) from a program's --help: run at build time as
#   cmake -DEXE=<program> -DNAME=<name> -DVERSION=<x.y.z> -DSUMMARY=<one line> -DOUT=<file.1>
#         -P ManPage.cmake
# The help is the reference, so the page never disagrees with it. A command listed in the
# help (a line "  name   description" of a command group) gets its own section with its help.

function(roff_block text out)
    string(REPLACE "\\" "\\e" text "${text}")
    # A line starting with a dot or an apostrophe would be a request.
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${EXE} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${EXE} --help failed (${rc})")
endif()
string(TIMESTAMP today "%Y-%m-%d" UTC)
set(page ".TH ${NAME} 1 \"${today}\" \"${NAME} ${VERSION}\" \"TK530 Control Panel\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n.SH POPIS\n")
roff_block("${help}" block)
string(APPEND page "${block}")

string(REGEX MATCHALL "\n  [a-z][a-z0-9-]+  +" rows "${help}")
set(first TRUE)
foreach(row IN LISTS rows)
    string(STRIP "${row}" command)
    execute_process(COMMAND ${EXE} ${command} --help OUTPUT_VARIABLE sub RESULT_VARIABLE rc)
    if(rc EQUAL 0)
        if(first)
            string(APPEND page ".SH PŘÍKAZY\n")
            set(first FALSE)
        endif()
        roff_block("${sub}" block)
        string(APPEND page ".SS ${command}\n${block}")
    endif()
endforeach()
file(WRITE ${OUT} "${page}")
