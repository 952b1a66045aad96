# Configures the misuse project once for each way of calling
# tremlox_add_screen wrongly, and expects each to stop with its own message;
# then the unusual calls that must work, and the search for a host tool when
# cross-compiling.
#
#   cmake -DSOURCE_DIR=<tremlox sources> -DWORK_DIR=<scratch folder>
#         -DGENERATOR=<generator> [-DMAKE_PROGRAM=...] -DTOOL=<a built tremlox>
#         -P run_misuse.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(build "${WORK_DIR}/build")

# configure(<fails|succeeds> <message part> <build folder> <PATH or "">
#           <cmake arguments>...)
# CMake wraps long messages, so blanks and line breaks count as one blank.
function(configure outcome message_part folder search_path)
    set(environment "")
    if(search_path)
        set(environment "PATH=${search_path}")
    endif()
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -E env ${environment}
                "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/misuse" -B "${folder}"
                -G "${GENERATOR}" "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}"
                "-DTREMLOX_SOURCE_DIR=${SOURCE_DIR}" ${ARGN}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(REGEX REPLACE "[ \n]+" " " folded "${output}")
    string(FIND "${folded}" "${message_part}" at)
    set(ended fails)
    if(result STREQUAL "0")
        set(ended succeeds)
    endif()
    if(NOT ended STREQUAL outcome OR at EQUAL -1)
        message(FATAL_ERROR "configuring with ${ARGN} should have ${outcome} with "
            "\"${message_part}\", it ended with ${result}:\n${output}")
    endif()
endfunction()
# refused(<message part> <cmake arguments>...): configuring stops with it.
function(refused message_part)
    configure(fails "${message_part}" "${build}" "" -UTREMLOX_EXECUTABLE ${ARGN})
endfunction()

refused("the C language is not enabled" -DCASE=no_c_language -DNAME=screen)
foreach(name IN ITEMS 2screens title-screen _screen "title screen" "")
    refused("the name \"${name}\" is not a valid C identifier" -DCASE=name "-DNAME=${name}")
endforeach()
foreach(name IN ITEMS int class)
    refused("the name \"${name}\" is a keyword of C or C++" -DCASE=name -DNAME=${name})
endforeach()
# From each of the C library's headers that declare functions or objects.
foreach(name IN ITEMS exit puts errno stdin stdout stderr time printf malloc free strlen
        signal longjmp isalpha sqrt cabs feclearexcept imaxabs setlocale atomic_load
        thrd_create mbrtoc16 wcslen towlower gets)
    set(why "an array of that name would replace the library's own ${name}")
    refused("the name \"${name}\" is taken by the C standard library: ${why}"
        -DCASE=name -DNAME=${name})
endforeach()
refused("would make the header stdio.h hide the standard header <stdio.h>"
    -DCASE=name -DNAME=stdio)
refused("no_such_screen.ans for the screen \"screen\" does not exist" -DCASE=missing_file)
refused("misuse/elsewhere is a folder, not a file" -DCASE=folder_as_file)
set(three_arguments "it takes exactly three arguments, a target, a name and a file")
refused("${three_arguments}: tremlox_add_screen(<target> <name> <file>). It was given 4: app screen screen.ans PRIVATE"
    -DCASE=unknown_argument)
refused("${three_arguments}: tremlox_add_screen(<target> <name> <file>). It was given 2: app screen"
    -DCASE=two_arguments)
refused("the target \"app\" already defines \"screen\"" -DCASE=same_name_twice)
refused("the target \"app\" already defines \"screen_size\"" -DCASE=name_clashes_with_size)
refused("there is no target \"no_such_target\"" -DCASE=no_target)
refused("\"app_alias\" is not an executable or library built here" -DCASE=alias_target)
refused("\"header_only\" is not an executable or library built here" -DCASE=interface_target)
refused("where the target \"app_elsewhere\" is defined" -DCASE=target_of_another_folder)
refused("TREMLOX_EXECUTABLE is \"tremlox\", which is not the full path"
    -DTREMLOX_EXECUTABLE=tremlox -DCASE=name -DNAME=screen)

# A name that merely begins like a library name, and the other unusual calls.
configure(succeeds "Generating done" "${build}" "" -UTREMLOX_EXECUTABLE -DCASE=accepted)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${build}" --target app more_screens
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
foreach(header IN ITEMS app/include/screen_2.h app/include/Made_At_Build_Time.h
                        app/include/exit_screen.h more_screens/include/screen_2.h)
    if(NOT EXISTS "${build}/tremlox_screens/${header}")
        message(FATAL_ERROR "tremlox_add_screen generated no ${header}")
    endif()
endforeach()

# Cross-compiling: the compilers are found first with the usual PATH, then
# the tool is looked for on a PATH that lacks it and on one that has it.
# A sysroot that holds no programs must not hide the host's; the compilers
# are named since it hides them too.
find_program(c_compiler NAMES cc gcc clang REQUIRED)
find_program(cxx_compiler NAMES c++ g++ clang++ REQUIRED)
set(cross_build "${WORK_DIR}/cross-build")
configure(succeeds "Generating done" "${cross_build}" ""
    -DCASE=none "-DCMAKE_SYSTEM_NAME=${CMAKE_HOST_SYSTEM_NAME}"
    "-DCMAKE_C_COMPILER=${c_compiler}" "-DCMAKE_CXX_COMPILER=${cxx_compiler}"
    "-DCMAKE_FIND_ROOT_PATH=${WORK_DIR}/sysroot" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=ONLY)
file(MAKE_DIRECTORY "${WORK_DIR}/bin-without-tremlox")
configure(fails "this build cross-compiles, so a tremlox built for the target cannot run here"
    "${cross_build}" "${WORK_DIR}/bin-without-tremlox" -DCASE=name -DNAME=screen)
file(COPY "${TOOL}" DESTINATION "${WORK_DIR}/bin-with-tremlox")
configure(succeeds "cross-compiling, converting screens with ${WORK_DIR}/bin-with-tremlox/tremlox"
    "${cross_build}" "${WORK_DIR}/bin-with-tremlox" -DCASE=name -DNAME=screen)

message(STATUS "Every misuse of tremlox_add_screen is refused with its own message")
