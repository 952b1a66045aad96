# Cross-compiles for 64-bit Windows with MinGW-w64 from Linux:
#
#   cmake -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# The -posix compilers have std::thread. Programs are linked statically, so
# they run on a bare Windows without MinGW's DLLs, and run here under Wine
# in a Wine prefix of the build folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TREMLOX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TREMLOX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TREMLOX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TREMLOX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TREMLOX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

if(NOT DEFINED CACHE{CMAKE_CROSSCOMPILING_EMULATOR})
    find_program(TREMLOX_WINE NAMES wine wine64)
    if(TREMLOX_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR
            env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all ${TREMLOX_WINE}
            CACHE STRING "Runs the Windows programs built here")
    endif()
endif()
