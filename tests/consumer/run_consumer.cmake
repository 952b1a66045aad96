# Builds the consumer project in WORK_DIR as a user would and checks that its
# screens come back byte for byte, that conversions rerun when a screen or
# the tool changes, and only then.
#
#   cmake -DROUTE=find_package|add_subdirectory|FetchContent
#         -DSOURCE_DIR=<tremlox sources> -DBINARY_DIR=<tremlox build>
#         -DWORK_DIR=<scratch folder> -DGENERATOR=<generator>
#         [-DMAKE_PROGRAM=...] [-DCONFIG=...] [-DC_COMPILER=... -DCXX_COMPILER=...]
#         [-DWARNINGS=<flags>] [-DLINKER_FLAGS=<flags>] [-DCROSS=ON] [-DPYTHON=<python3>]
#         [-DTOOLCHAIN=<file>] [-DCLANG_CL=<clang-cl>]
#         -P run_consumer.cmake
#
# With CROSS, the consumer claims to cross-compile and converts with an
# installed tremlox named in TREMLOX_EXECUTABLE. With TOOLCHAIN, it really
# cross-compiles with that toolchain file, and its programs run under the
# emulator the toolchain names (Wine for Windows).
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake")

set(project_source "${WORK_DIR}/source")
set(build "${WORK_DIR}/build")
set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
# A copy, so that the test may touch the screens.
file(COPY "${CMAKE_CURRENT_LIST_DIR}/project/" DESTINATION "${project_source}")
file(COPY "${SOURCE_DIR}/examples/classic.ans" DESTINATION "${project_source}/screens")

if(NOT DEFINED WARNINGS)
    set(WARNINGS "-Wall -Wextra -pedantic -Wconversion -Werror")
endif()
# A toolchain names its own compilers: the host build's, and its sanitizers,
# are no use for the target.
set(host_settings MAKE_PROGRAM C_COMPILER CXX_COMPILER)
if(TOOLCHAIN)
    set(CROSS ON)
    set(host_settings MAKE_PROGRAM)
endif()
set(configure_arguments
    -S "${project_source}" -B "${build}" -G "${GENERATOR}"
    -DCMAKE_BUILD_TYPE=Debug
    "-DCMAKE_C_FLAGS=${WARNINGS}" "-DCMAKE_CXX_FLAGS=${WARNINGS}"
    -DTREMLOX_ROUTE=${ROUTE} "-DTREMLOX_SOURCE_DIR=${SOURCE_DIR}")
foreach(setting IN LISTS host_settings)
    if(${setting})
        list(APPEND configure_arguments "-DCMAKE_${setting}=${${setting}}")
    endif()
endforeach()
if(LINKER_FLAGS AND NOT TOOLCHAIN)
    list(APPEND configure_arguments "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
endif()

if(ROUTE STREQUAL "find_package" OR CROSS)
    install_tremlox("${prefix}")
endif()
if(ROUTE STREQUAL "find_package")
    list(APPEND configure_arguments "-DCMAKE_PREFIX_PATH=${prefix}")
    set(tool "${prefix}/bin/tremlox")
elseif(ROUTE STREQUAL "add_subdirectory")
    set(tool "${build}/tremlox/tremlox")
else()
    set(tool "${build}/_deps/tremlox-build/tremlox")
endif()
if(CROSS)
    set(tool "${prefix}/bin/tremlox")
    list(APPEND configure_arguments "-DTREMLOX_EXECUTABLE=${tool}")
    if(TOOLCHAIN)
        list(APPEND configure_arguments "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
    else()
        list(APPEND configure_arguments "-DCMAKE_SYSTEM_NAME=${CMAKE_HOST_SYSTEM_NAME}")
    endif()
endif()

run_or_fail(COMMAND "${CMAKE_COMMAND}" ${configure_arguments})
if(ROUTE STREQUAL "find_package")
    file(STRINGS "${build}/CMakeCache.txt" found REGEX "^tremlox_DIR:")
    expect_equal("${found}" "tremlox_DIR:PATH=${prefix}/lib/cmake/tremlox"
        "find_package found another tremlox")
endif()

if(CROSS)
    # The verbose log shows the commands: the conversion runs the tool named.
    build_or_fail("${build}" --verbose)
    expect_contains("${build_log}" "${tool} ${project_source}/screens/banner.ans"
        "the screens were not converted with TREMLOX_EXECUTABLE")
else()
    build_or_fail("${build}")
endif()
if(NOT ROUTE STREQUAL "find_package")
    # A subproject leaves packaging and installing to the project using it.
    expect_no_file("${build}/CPackConfig.cmake")
    run_or_fail(COMMAND "${CMAKE_COMMAND}" --install "${build}" --prefix "${WORK_DIR}/installed")
    expect_no_file("${WORK_DIR}/installed")
endif()

# The consumer's programs, run as its build runs them.
set(run_program "")
set(program_suffix "")
if(TOOLCHAIN)
    file(STRINGS "${build}/CMakeCache.txt" emulator REGEX "^CMAKE_CROSSCOMPILING_EMULATOR:")
    string(FIND "${emulator}" "=" value_start)
    math(EXPR value_start "${value_start} + 1")
    string(SUBSTRING "${emulator}" ${value_start} -1 run_program)
    # file(STRINGS) escapes the list's separators.
    string(REPLACE "\\;" ";" run_program "${run_program}")
    if(EXISTS "${build}/check_screens.exe")
        set(program_suffix .exe)
    endif()
endif()

function(check_program_output)
    run_or_fail(COMMAND ${run_program} "${build}/check_screens${program_suffix}"
        "${project_source}/screens/banner.ans" "${build}/all_bytes.bin")
    expect_contains("${run_output}" "every screen matches its file" "check_screens")
    execute_process(COMMAND ${run_program} "${build}/check_banner_again${program_suffix}"
        RESULT_VARIABLE result OUTPUT_VARIABLE banner_written)
    file(READ "${project_source}/screens/banner.ans" banner)
    expect_equal("${result}" "0" "check_banner_again failed")
    expect_equal("${banner_written}" "${banner}" "check_banner_again wrote another banner")
    # The classic screen: its art alone, ending with a reset.
    execute_process(COMMAND ${run_program} "${build}/show_classic${program_suffix}"
        RESULT_VARIABLE result OUTPUT_VARIABLE classic_written)
    expect_equal("${result}" "0" "show_classic failed")
    expect_not_contains("${classic_written}" "SAUCE" "show_classic wrote the record")
    expect_contains("${classic_written}" "C L A S S I C" "show_classic's output")
endfunction()
check_program_output()

# The generated wrappers also compile silently for MSVC at /W4 /WX. clang-cl
# stands in for it: as itself at /W4 and at /Wall (every warning clang has,
# the truncation of values over 127 among them), and without __clang__ at
# /W4, which takes the wrapper's branch for MSVC proper.
if(CLANG_CL)
    file(GLOB_RECURSE wrappers "${build}/tremlox_screens/*.c")
    list(FILTER wrappers EXCLUDE REGEX "/converted/")
    foreach(wrapper IN LISTS wrappers)
        get_filename_component(folder "${wrapper}" DIRECTORY)
        get_filename_component(source "${wrapper}" NAME)
        # clang-cl would take a path that starts with a slash for an option.
        foreach(variant IN ITEMS /W4 /Wall "/W4;/U__clang__")
            run_or_fail(COMMAND "${CLANG_CL}" /nologo /WX /c ${variant}
                "/Fo${WORK_DIR}/wrapper.obj" -- "${source}" WORKING_DIRECTORY "${folder}")
        endforeach()
    endforeach()
    list(LENGTH wrappers wrapper_count)
    message(STATUS "${wrapper_count} wrappers compile silently with clang-cl /W4 /WX")
endif()

# The C program links no C++ runtime.
find_program(readelf readelf)
if(readelf AND NOT TOOLCHAIN)
    run_or_fail(COMMAND "${readelf}" --dynamic "${build}/show_classic")
    expect_not_contains("${run_output}" "libstdc++" "show_classic needs the C++ runtime")
endif()
# In a terminal wider than the screen, it looks as it was drawn.
if(ROUTE STREQUAL "find_package" AND PYTHON)
    run_or_fail(COMMAND "${PYTHON}" "${SOURCE_DIR}/tests/terminal/check_in_tmux.py"
        "${SOURCE_DIR}/examples/make_classic_screen.py" "${build}/show_classic")
    message(STATUS "${run_output}")
endif()

# Nothing changed: configuring and building again converts and compiles nothing.
run_or_fail(COMMAND "${CMAKE_COMMAND}" "${build}")
build_or_fail("${build}")
expect_not_contains("${build_log}" "Converting" "a build with nothing changed converted")
expect_not_contains("${build_log}" "Building" "a build with nothing changed compiled")

# A changed screen is converted again for both targets that embed it, alone.
file(TOUCH "${project_source}/screens/banner.ans")
build_or_fail("${build}")
expect_count("${build_log}" "Converting screens/banner.ans to the screen banner" 2)
expect_count("${build_log}" "Converting" 2)

# A changed tool converts every screen again.
file(TOUCH "${tool}")
build_or_fail("${build}")
expect_count("${build_log}" "Converting" 5)

check_program_output()
message(STATUS "The ${ROUTE} consumer converts only what changed and reads its screens back")
