# Runs a GoogleTest program inside a terminal of its own, a detached tmux
# session, so that it has a console as its standard output, and passes on
# its results and exit status.
#
#   cmake -DTMUX=<tmux> -DEMULATOR=<list> -DPROGRAM=<program> -DWORK_DIR=<scratch>
#         -P run_in_terminal.cmake
cmake_minimum_required(VERSION 3.25)

set(results "${WORK_DIR}/results.xml")
set(status "${WORK_DIR}/status")
set(command "")
foreach(word IN LISTS EMULATOR ITEMS "${PROGRAM}")
    string(APPEND command " '${word}'")
endforeach()

function(run_once)
    file(REMOVE_RECURSE "${WORK_DIR}")
    file(MAKE_DIRECTORY "${WORK_DIR}")
    string(RANDOM LENGTH 8 socket)
    execute_process(COMMAND "${TMUX}" -L "tremlox-${socket}" -f /dev/null
        new-session -d -x 132 -y 50 -c "${WORK_DIR}"
        "${command} --gtest_output=xml:results.xml; echo $? > status"
        RESULT_VARIABLE started)
    if(NOT started EQUAL 0)
        message(FATAL_ERROR "tmux did not start: ${started}")
    endif()
    foreach(second RANGE 240)
        if(EXISTS "${status}")
            break()
        endif()
        execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 1)
    endforeach()
    execute_process(COMMAND "${TMUX}" -L "tremlox-${socket}" kill-server ERROR_QUIET)
    if(NOT EXISTS "${status}")
        message(FATAL_ERROR "the program did not end within four minutes")
    endif()
endfunction()

# Under Wine, a console control event that the test program takes as handled
# now and then ends it all the same (Wine's default handler, exit status 0),
# before it has written its results. Such a run says nothing either way and
# is run again; a run with results counts, whatever they are.
foreach(attempt RANGE 1 3)
    run_once()
    if(EXISTS "${results}")
        break()
    endif()
    message(STATUS "attempt ${attempt} left no results: the program was ended early")
endforeach()
if(NOT EXISTS "${results}")
    file(STRINGS "${status}" result)
    message(FATAL_ERROR "the program left no results (exit status ${result})")
endif()
file(READ "${results}" output)
message("${output}")
file(STRINGS "${status}" result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the program exited with ${result}")
endif()
