# Builds a consumer project again, as its user would, after changing nothing,
# then one screen, then the tool, and checks which screens were converted.
#
#   cmake -DBUILD_DIR=<the consumer's build> -DSCREEN=<a screen two targets
#         embed> -DSCREEN_NAME=<its name> -DTOOL=<the tremlox it converts with>
#         -DSCREEN_COUNT=<screens in all> -P check_rebuilds.cmake
cmake_minimum_required(VERSION 3.25)

# Builds; leaves the build's output in log.
function(build)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" ${ARGN}
        OUTPUT_VARIABLE output ERROR_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
    set(log "${output}" PARENT_SCOPE)
endfunction()

# Expects <part> <count> times in the last build's log.
function(expect_in_log part count what)
    string(LENGTH "${log}" whole)
    string(REPLACE "${part}" "" rest "${log}")
    string(LENGTH "${rest}" left)
    string(LENGTH "${part}" each)
    math(EXPR found "(${whole} - ${left}) / ${each}")
    if(NOT found EQUAL count)
        message(FATAL_ERROR "${what}: \"${part}\" ${found} times, expected ${count}:\n${log}")
    endif()
endfunction()

execute_process(COMMAND "${CMAKE_COMMAND}" "${BUILD_DIR}" OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
build()
expect_in_log("Converting" 0 "configured and built again with nothing changed")
expect_in_log("Building" 0 "configured and built again with nothing changed")

file(TOUCH "${SCREEN}")
build()
expect_in_log("Converting" 2 "built after a screen changed")
expect_in_log("to the screen ${SCREEN_NAME}\n" 2 "built after a screen changed")

# The commands show which tool converts each screen.
file(TOUCH "${TOOL}")
build(--verbose)
expect_in_log("${TOOL} " ${SCREEN_COUNT} "built after the tool changed")
expect_in_log("${TOOL} ${SCREEN} " 2 "built after the tool changed")
message(STATUS "Converted only what changed, with ${TOOL}")
