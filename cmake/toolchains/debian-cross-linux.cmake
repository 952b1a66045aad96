# The part shared by the Linux cross toolchains: Debian's cross compilers for
# TREMLOX_CROSS_TRIPLE, their own root for headers and libraries, static
# programs, and qemu-user (TREMLOX_CROSS_QEMU) to run them on this machine.
# Static programs need no target libraries at run time, so the kernel's
# binfmt_misc registrations of qemu-user-binfmt run them too when a test
# starts one itself.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${TREMLOX_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TREMLOX_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TREMLOX_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

if(NOT DEFINED CACHE{CMAKE_CROSSCOMPILING_EMULATOR})
    find_program(TREMLOX_QEMU_${CMAKE_SYSTEM_PROCESSOR} ${TREMLOX_CROSS_QEMU})
    if(TREMLOX_QEMU_${CMAKE_SYSTEM_PROCESSOR})
        set(CMAKE_CROSSCOMPILING_EMULATOR ${TREMLOX_QEMU_${CMAKE_SYSTEM_PROCESSOR}}
            CACHE STRING "Runs the ${CMAKE_SYSTEM_PROCESSOR} programs built here")
    endif()
endif()
