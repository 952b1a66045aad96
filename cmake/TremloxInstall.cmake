# Installs the tool, its man page, license and changelog, and the CMake
# package through which other projects find the tool and call
# tremlox_add_screen.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TREMLOX_INSTALL_CMAKEDIR "lib/cmake/tremlox"
    CACHE STRING "Where the CMake package goes, relative to the install prefix")

install(TARGETS tremlox EXPORT tremloxTargets RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS tremlox_screen EXPORT tremloxTargets
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
    FILE_SET HEADERS DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
include("${PROJECT_SOURCE_DIR}/cmake/TremloxDocs.cmake")
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
    "${PROJECT_SOURCE_DIR}/cmake/tremloxConfig.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/TremloxAddScreen.cmake"
    "${PROJECT_BINARY_DIR}/tremloxConfigVersion.cmake"
    DESTINATION "${TREMLOX_INSTALL_CMAKEDIR}")
