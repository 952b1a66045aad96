# Steps and checks shared by the consumer scripts. Any failed check ends the
# script with an error, and so the test.

# Runs a command; fails unless it exits 0. Leaves its output in run_output.
function(run_or_fail)
    execute_process(${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result STREQUAL "0")
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "${command}\nexited with ${result}:\n${output}")
    endif()
    set(run_output "${output}" PARENT_SCOPE)
endfunction()

# Builds a build folder; leaves the build's output in build_log.
function(build_or_fail folder)
    run_or_fail(COMMAND "${CMAKE_COMMAND}" --build "${folder}" ${ARGN})
    set(build_log "${run_output}" PARENT_SCOPE)
endfunction()

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

function(expect_not_contains text part what)
    string(FIND "${text}" "${part}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "${what}: \"${part}\" is in:\n${text}")
    endif()
endfunction()

# Expects <part> exactly <count> times in <text>.
function(expect_count text part count)
    string(LENGTH "${part}" part_length)
    set(found 0)
    set(rest "${text}")
    string(FIND "${rest}" "${part}" at)
    while(NOT at EQUAL -1)
        math(EXPR found "${found} + 1")
        math(EXPR after "${at} + ${part_length}")
        string(SUBSTRING "${rest}" ${after} -1 rest)
        string(FIND "${rest}" "${part}" at)
    endwhile()
    if(NOT found EQUAL count)
        message(FATAL_ERROR "expected \"${part}\" ${count} times, found it ${found} times in:\n"
            "${text}")
    endif()
endfunction()

function(expect_no_file path)
    if(EXISTS "${path}")
        message(FATAL_ERROR "${path} should not exist")
    endif()
endfunction()

# The files an install of tremlox consists of, relative to its prefix, sorted.
# COMPRESSED_DOCS says whether the build gzips the man pages and changelog.
if(NOT DEFINED COMPRESSED_DOCS OR COMPRESSED_DOCS)
    set(compressed_suffix .gz)
else()
    set(compressed_suffix "")
endif()
set(tremlox_install_files
    bin/tremlox
    include/tremlox/screen.h
    lib/cmake/tremlox/TremloxAddScreen.cmake
    lib/cmake/tremlox/tremloxConfig.cmake
    lib/cmake/tremlox/tremloxConfigVersion.cmake
    lib/cmake/tremlox/tremloxTargets.cmake
    lib/libtremlox_screen.a
    share/doc/tremlox/LICENSE
    share/doc/tremlox/changelog${compressed_suffix}
    share/doc/tremlox/copyright
    share/man/man1/tremlox.1${compressed_suffix}
    share/man/man3/tremlox_screen.3${compressed_suffix})

# Lists the files under <folder>, relative to it, sorted.
function(list_files folder out_var)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${folder}" "${folder}/*")
    list(SORT files)
    set(${out_var} "${files}" PARENT_SCOPE)
endfunction()

# Installs tremlox from BINARY_DIR into <prefix> and checks what arrived;
# further arguments go to cmake --install (--strip, as the packages are). The
# per-configuration targets file is named for the build type, so it is left
# out of the comparison.
function(install_tremlox prefix)
    set(config_arguments "")
    if(CONFIG)
        set(config_arguments --config "${CONFIG}")
    endif()
    run_or_fail(COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --prefix "${prefix}"
        ${config_arguments} ${ARGN})
    list_files("${prefix}" installed)
    list(FILTER installed EXCLUDE REGEX "^lib/cmake/tremlox/tremloxTargets-.*\\.cmake$")
    expect_equal("${installed}" "${tremlox_install_files}" "the install holds other files")
endfunction()
