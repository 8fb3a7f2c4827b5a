# Runs the script runner on one case of this folder and compares what it
# wrote and its exit status with the case's expected files.
#
#   cmake -DDROVEL=path/to/drovel -DCASE=folder/name -P RunDrovel.cmake
#
# A case is name.ds (the script) and name.args (the command line, one word a
# line; @SCRIPT@ stands for the script's path and @DIR@ for this folder; without
# the file the command line is the script alone), and the expected name.out
# (standard output), name.err (standard error, @DIR@ replaced as above) and
# name.code (exit status); a missing expected file means empty output or 0.
get_filename_component(dir ${CASE} DIRECTORY)
set(script ${CASE}.ds)

if(EXISTS ${CASE}.args)
    file(STRINGS ${CASE}.args arguments)
    list(TRANSFORM arguments REPLACE "@SCRIPT@" "${script}")
    list(TRANSFORM arguments REPLACE "@DIR@" "${dir}")
else()
    set(arguments ${script})
endif()

execute_process(COMMAND ${DROVEL} ${arguments}
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE code)

function(expected name suffix default)
    if(EXISTS ${CASE}.${suffix})
        file(READ ${CASE}.${suffix} text)
        string(REPLACE "@DIR@" "${dir}" text "${text}")
    else()
        set(text "${default}")
    endif()
    set(${name} "${text}" PARENT_SCOPE)
endfunction()

expected(expectedOut out "")
expected(expectedErr err "")
expected(expectedCode code "0")
string(STRIP "${expectedCode}" expectedCode)

set(failures "")
if(NOT "${code}" STREQUAL "${expectedCode}")
    string(APPEND failures "exit status ${code}, expected ${expectedCode}\n")
endif()
if(NOT "${out}" STREQUAL "${expectedOut}")
    string(APPEND failures "standard output:\n[${out}]\nexpected:\n[${expectedOut}]\n")
endif()
if(NOT "${err}" STREQUAL "${expectedErr}")
    string(APPEND failures "standard error:\n[${err}]\nexpected:\n[${expectedErr}]\n")
endif()
if(failures)
    message(FATAL_ERROR "drovel ${arguments}\n${failures}")
endif()
