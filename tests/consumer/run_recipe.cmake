# Builds the README's make or Meson recipe, as a user copies it, against a
# tremlox installed into a prefix of its own: a program with two screens,
# under strict warnings, that must read both back byte for byte, and that
# converts again only the screen that changed.
#
#   cmake -DRECIPE=make|meson -DSOURCE_DIR=<tremlox sources>
#         -DBINARY_DIR=<tremlox build> -DWORK_DIR=<scratch folder>
#         [-DC_COMPILER=<cc>] [-DCONFIG=...] -P run_recipe.cmake
#
# The recipe's files are the README's code blocks that follow a line
# "<!-- recipe file: NAME -->", so the README shows exactly what is tested.
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake")

set(warnings -Wall -Wextra -pedantic -Wconversion -Werror)
set(project_source "${WORK_DIR}/source")
set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")

# Writes each file of the README's recipes into <folder>.
function(write_readme_recipe_files folder)
    file(READ "${SOURCE_DIR}/README.md" readme)
    # Markers begin a line; the README may also mention one in its text.
    set(marker "\n<!-- recipe file: ")
    set(written "")
    string(FIND "${readme}" "${marker}" at)
    while(NOT at EQUAL -1)
        math(EXPR at "${at} + 1")
        string(SUBSTRING "${readme}" ${at} -1 readme)
        if(NOT readme MATCHES "^<!-- recipe file: ([^ ]+) -->\n```[a-z]*\n")
            message(FATAL_ERROR "README.md: a recipe file marker must be followed by a "
                "code block:\n${readme}")
        endif()
        set(name "${CMAKE_MATCH_1}")
        string(LENGTH "${CMAKE_MATCH_0}" opening_length)
        string(SUBSTRING "${readme}" ${opening_length} -1 readme)
        string(FIND "${readme}" "\n```\n" block_end)
        if(block_end EQUAL -1)
            message(FATAL_ERROR "README.md: the code block of ${name} does not end")
        endif()
        math(EXPR content_length "${block_end} + 1")
        string(SUBSTRING "${readme}" 0 ${content_length} content)
        file(WRITE "${folder}/${name}" "${content}")
        list(APPEND written "${name}")
        string(FIND "${readme}" "${marker}" at)
    endwhile()
    foreach(needed IN ITEMS screen.c.in screen.h.in Makefile meson.build)
        if(NOT needed IN_LIST written)
            message(FATAL_ERROR "README.md has no recipe file ${needed}")
        endif()
    endforeach()
endfunction()

install_tremlox("${prefix}")
write_readme_recipe_files("${project_source}")
file(COPY "${CMAKE_CURRENT_LIST_DIR}/recipes/" DESTINATION "${project_source}")

# The installed tremlox comes first on the PATH, as after a user's install.
set(environment "PATH=${prefix}/bin:$ENV{PATH}")
if(C_COMPILER)
    list(APPEND environment "CC=${C_COMPILER}")
endif()
list(JOIN warnings " " warning_flags)
if(RECIPE STREQUAL "make")
    find_program(MAKE_EXECUTABLE NAMES gmake make REQUIRED)
    set(build "${project_source}")
    set(program "${build}/game")
    set(build_command "${MAKE_EXECUTABLE}" -C "${build}" "CFLAGS=${warning_flags}")
    set(title_conversion "tremlox title.ans title.c")
    set(help_conversion "tremlox help.ans help.c")
elseif(RECIPE STREQUAL "meson")
    find_program(MESON_EXECUTABLE meson REQUIRED)
    set(build "${WORK_DIR}/build")
    set(program "${build}/game")
    run_or_fail(COMMAND "${CMAKE_COMMAND}" -E env ${environment}
        "${MESON_EXECUTABLE}" setup "${build}" "${project_source}"
        "-Dc_args=${warning_flags}")
    set(build_command "${MESON_EXECUTABLE}" compile -C "${build}")
    set(title_conversion "title_converted")
    set(help_conversion "help_converted")
else()
    message(FATAL_ERROR "Unknown RECIPE \"${RECIPE}\"")
endif()

function(build_recipe)
    run_or_fail(COMMAND "${CMAKE_COMMAND}" -E env ${environment} ${build_command})
    set(build_log "${run_output}" PARENT_SCOPE)
endfunction()

function(check_program)
    run_or_fail(COMMAND "${program}" "${project_source}/title.ans" "${project_source}/help.ans")
    expect_contains("${run_output}" "every screen matches its file" "the recipe's program")
endfunction()

build_recipe()
expect_contains("${build_log}" "${title_conversion}" "the first build")
expect_contains("${build_log}" "${help_conversion}" "the first build")
check_program()

# A changed screen is converted again, and only that one.
file(READ "${project_source}/title.ans" title)
file(WRITE "${project_source}/title.ans" "${title}one more line\n")
build_recipe()
expect_contains("${build_log}" "${title_conversion}" "the build after title.ans changed")
expect_not_contains("${build_log}" "${help_conversion}" "the build after title.ans changed")
check_program()
message(STATUS "The README's ${RECIPE} recipe builds and reads both screens back")
