# Installs the tool and tremlox-view, their man pages, the license and
# changelog, the CMake package through which other projects find the tool
# and call tremlox_add_screen, and tremlox::screen with its header and a
# pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TREMLOX_INSTALL_CMAKEDIR "lib/cmake/tremlox"
    CACHE STRING "Where the CMake package goes, relative to the install prefix")

install(TARGETS tremlox EXPORT tremloxTargets RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# The viewer is a program for people, not for builds: no exported target.
if(TARGET tremlox-view)
    install(TARGETS tremlox-view RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
# INCLUDES gives the exported target its header folder as a plain include
# directory too, for tools that read the targets file but not its file sets
# (Meson's cmake dependencies).
install(TARGETS tremlox_screen EXPORT tremloxTargets
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
    FILE_SET HEADERS DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
    INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

# tremlox-screen.pc finds the prefix from its own folder (pkg-config's
# pcfiledir), so it stays right wherever the install is put or moved.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(pc_prefix "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH up_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" /)
    string(REGEX REPLACE "/$" "" up_to_prefix "${up_to_prefix}")
    set(pc_prefix "\${pcfiledir}/${up_to_prefix}")
endif()
foreach(folder IN ITEMS libdir includedir)
    string(TOUPPER "${folder}" variable)
    set(pc_${folder} "\${prefix}")
    cmake_path(APPEND pc_${folder} "${CMAKE_INSTALL_${variable}}")
endforeach()
# The wrapper templates lie in the CMake package, for make and Meson too.
set(pc_templatedir "\${prefix}")
cmake_path(APPEND pc_templatedir "${TREMLOX_INSTALL_CMAKEDIR}" templates)
configure_file("${PROJECT_SOURCE_DIR}/cmake/packaging/tremlox-screen.pc.in"
    "${PROJECT_BINARY_DIR}/tremlox-screen.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/tremlox-screen.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
include("${PROJECT_SOURCE_DIR}/cmake/packaging/TremloxDocs.cmake")
if(WIN32)
    # Without a system package, the archive is all a user gets: the README
    # goes beside the tool.
    install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()

install(EXPORT tremloxTargets NAMESPACE tremlox:: DESTINATION "${TREMLOX_INSTALL_CMAKEDIR}")
# The program runs for a consumer of any word size; tremlox::screen is a
# library of this build's, which such a consumer can still leave unlinked.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/tremloxConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion
    ARCH_INDEPENDENT)
install(FILES
    "${PROJECT_SOURCE_DIR}/cmake/package/tremloxConfig.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/package/TremloxAddScreen.cmake"
    "${PROJECT_BINARY_DIR}/tremloxConfigVersion.cmake"
    DESTINATION "${TREMLOX_INSTALL_CMAKEDIR}")
install(FILES
    "${PROJECT_SOURCE_DIR}/cmake/package/templates/screen.c.in"
    "${PROJECT_SOURCE_DIR}/cmake/package/templates/screen.h.in"
    DESTINATION "${TREMLOX_INSTALL_CMAKEDIR}/templates")
