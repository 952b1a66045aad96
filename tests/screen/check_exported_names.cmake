# Checks the names a build of tremlox::screen defines for other code to link
# with: every call and object of <tremlox/screen.h>, and besides them only
# names of the private prefix tremlox__, so that no program's own names can
# clash with the library's internals and no reader takes them for API.
#
#   cmake -DNM=<nm> -DLIBRARY=<archive or shared library> -DHEADER=<screen.h>
#         -P check_exported_names.cmake
#
# A shared library is read for the names it exports (its dynamic symbols):
# there the private names must not show at all.
cmake_minimum_required(VERSION 3.25)

file(READ "${HEADER}" header)
# A name followed by ( or [ is a call or an object; brackets would split a
# CMake list, so they are read as parentheses.
string(REPLACE "[" "(" header "${header}")
string(REGEX MATCHALL "tremlox_[a-z0-9_]+[ \t\n]*[(]" declarations "${header}")
set(api "")
foreach(declaration IN LISTS declarations)
    string(REGEX REPLACE "[ \t\n]*[(]$" "" name "${declaration}")
    list(APPEND api "${name}")
endforeach()
list(REMOVE_DUPLICATES api)
list(LENGTH api api_count)
if(api_count LESS 10)
    message(FATAL_ERROR "only ${api_count} calls found in ${HEADER}: ${api}")
endif()

set(shared FALSE)
if(LIBRARY MATCHES "\\.(so|dylib)(\\.|$)" OR LIBRARY MATCHES "\\.dll$")
    set(shared TRUE)
endif()
if(shared AND NOT LIBRARY MATCHES "\\.dll$")
    set(which --dynamic)
else()
    set(which --extern-only)
endif()
execute_process(COMMAND "${NM}" ${which} --defined-only --portability "${LIBRARY}"
    OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")

set(defined "")
set(strangers "")
foreach(line IN LISTS lines)
    # "NAME TYPE VALUE SIZE"; an archive also names its members, "file.o:".
    if(NOT line MATCHES "^([^ :]+) [A-Za-z] ")
        continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    # Names the compiler, linker and sanitizers make (_init, __bss_start,
    # .refptr.*, __odr_asan_gen_*) are theirs, not the library's.
    if(name MATCHES "^[_.]")
        continue()
    endif()
    list(APPEND defined "${name}")
    if(name IN_LIST api)
        continue()
    endif()
    if(name MATCHES "^tremlox__" AND NOT shared)
        continue()
    endif()
    list(APPEND strangers "${name}")
endforeach()

set(missing "")
foreach(name IN LISTS api)
    if(NOT name IN_LIST defined)
        list(APPEND missing "${name}")
    endif()
endforeach()
if(strangers OR missing)
    list(REMOVE_DUPLICATES strangers)
    message(FATAL_ERROR "${LIBRARY}:\n"
        "  defined for others to link, and not the API of screen.h: ${strangers}\n"
        "  the API of screen.h not defined there: ${missing}")
endif()
message(STATUS "${LIBRARY} defines the ${api_count} calls and objects of screen.h and no other "
    "public name")
