# Builds the Windows ZIP from a Windows build folder and checks that it holds
# the tool, tremlox-view, the README, the man pages and the CMake package;
# then unpacks it and cross-compiles a program against its tremlox::screen,
# finding the package both ways docs/windows.md gives.
#
#   cmake -DBINARY_DIR=<windows build> -DWORK_DIR=<scratch> -DVERSION=<x.y.z>
#         -DTOOLCHAIN=<the build's toolchain file> -DGENERATOR=<generator>
#         [-DMAKE_PROGRAM=...] -P check_zip.cmake
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
foreach(entry IN ITEMS bin/tremlox.exe bin/tremlox-view.exe share/doc/tremlox/README.md
        share/man/man1/tremlox.1 share/man/man1/tremlox-view.1 share/man/man3/tremlox_screen.3
        lib/cmake/tremlox/tremloxConfig.cmake lib/cmake/tremlox/TremloxAddScreen.cmake
        lib/libtremlox_screen.a include/tremlox/screen.h include/tremlox/screen_version.h
        lib/cmake/tremlox/templates/screen.c.in lib/cmake/tremlox/templates/screen.h.in
        lib/pkgconfig/tremlox-screen.pc)
    expect_contains("${run_output}" "tremlox-${VERSION}-win64/${entry}" "the ZIP")
endforeach()

# The toolchain looks for packages only under its own root, so tremlox_ROOT
# would be looked for there: the package folder is named itself, or the
# unpacked ZIP added to the roots by a toolchain file that includes it.
run_or_fail(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}" WORKING_DIRECTORY "${WORK_DIR}")
set(unpacked "${WORK_DIR}/tremlox-${VERSION}-win64")
file(WRITE "${WORK_DIR}/toolchain.cmake"
    "include(\"${TOOLCHAIN}\")\nlist(APPEND CMAKE_FIND_ROOT_PATH \"${unpacked}\")\n")
function(build_against_zip toolchain) # more cmake options follow
    file(REMOVE_RECURSE "${WORK_DIR}/consumer")
    run_or_fail(COMMAND "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/zip"
        -B "${WORK_DIR}/consumer" -G "${GENERATOR}" "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}"
        "-DCMAKE_TOOLCHAIN_FILE=${toolchain}" "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror" ${ARGN})
    file(STRINGS "${WORK_DIR}/consumer/CMakeCache.txt" found REGEX "^tremlox_DIR:")
    string(REGEX REPLACE "^[^=]*=" "" found "${found}")
    expect_equal("${found}" "${unpacked}/lib/cmake/tremlox"
        "the package found with ${toolchain} ${ARGN}")
    run_or_fail(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer")
endfunction()
build_against_zip("${TOOLCHAIN}" "-Dtremlox_DIR=${unpacked}/lib/cmake/tremlox")
build_against_zip("${WORK_DIR}/toolchain.cmake")
message(STATUS "The ZIP holds the tool, tremlox-view, the README, the man pages, the CMake "
    "package and tremlox::screen, which a cross-compiled program links")
