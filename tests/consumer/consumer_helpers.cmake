# Checks shared by the package scripts. A failed check ends the script with
# an error, and so the test.

function(expect_equal actual expected what)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
    endif()
endfunction()

function(expect_contains text part what)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: \"${part}\" is not in:\n${text}")
    endif()
endfunction()

# Runs a command that must succeed; leaves what it printed in run_output.
function(run_or_fail)
    execute_process(${ARGN} OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
    set(run_output "${output}" PARENT_SCOPE)
endfunction()
