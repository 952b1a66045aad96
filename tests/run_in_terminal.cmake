# Runs a GoogleTest program inside a terminal of its own, a detached tmux
# session, so that it has a console as its standard output, and passes on
# its results and exit status.
#
#   cmake -DTMUX=<tmux> -DEMULATOR=<list> -DPROGRAM=<program> -DWORK_DIR=<scratch>
#         -P run_in_terminal.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(results "${WORK_DIR}/results.xml")
set(status "${WORK_DIR}/status")
set(command "")
foreach(word IN LISTS EMULATOR ITEMS "${PROGRAM}")
    string(APPEND command " '${word}'")
endforeach()
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
if(NOT EXISTS "${results}")
    message(FATAL_ERROR "the program left no results")
endif()
file(READ "${results}" output)
message("${output}")
file(STRINGS "${status}" result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the program exited with ${result}")
endif()
