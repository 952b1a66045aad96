# Builds the Windows ZIP from a Windows build folder and checks that it holds
# the tool, the README, the man pages and the CMake package.
#
#   cmake -DBINARY_DIR=<windows build> -DWORK_DIR=<scratch> -DVERSION=<x.y.z>
#         -P check_zip.cmake
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
run_or_fail(COMMAND "${CMAKE_CPACK_COMMAND}" -G ZIP --config "${BINARY_DIR}/CPackConfig.cmake"
    -B "${WORK_DIR}" WORKING_DIRECTORY "${WORK_DIR}")
set(zip "${WORK_DIR}/tremlox-${VERSION}-win64.zip")
if(NOT EXISTS "${zip}")
    message(FATAL_ERROR "cpack made no ${zip}")
endif()
run_or_fail(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}")
foreach(entry IN ITEMS bin/tremlox.exe share/doc/tremlox/README.md share/man/man1/tremlox.1
        share/man/man3/tremlox_screen.3
        lib/cmake/tremlox/tremloxConfig.cmake lib/cmake/tremlox/TremloxAddScreen.cmake)
    expect_contains("${run_output}" "tremlox-${VERSION}-win64/${entry}" "the ZIP")
endforeach()
message(STATUS "The ZIP holds the tool, its README, its man pages and the CMake package")
