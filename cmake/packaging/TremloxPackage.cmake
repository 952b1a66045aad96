# Packages the install as a Debian package and a tar.gz archive, or on
# Windows as a ZIP archive.
set(CPACK_PACKAGE_NAME tremlox)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The tremlox developers")
# TREMLOX_PACKAGE_MAINTAINER (TremloxDocs.cmake) also signs the changelog.
set(CPACK_PACKAGE_CONTACT "${TREMLOX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Debian shows the lines as they stand and wants them at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "tremlox turns any file, meant to be an ANSI screen, into C source that\n"
    "declares one array holding every byte of the file, so that a program can\n"
    "carry the screen as data. The package also holds tremlox::screen, a small\n"
    "C library (static, with its header, a man page and a pkg-config file,\n"
    "tremlox-screen) that shows such screens on today's terminals as they were\n"
    "drawn; tremlox-view, which shows screen files with it; and a CMake package\n"
    "whose function tremlox_add_screen embeds screens in a target.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
if(WIN32)
    # A ZIP of the tool and tremlox-view, the README and man pages, and the
    # CMake package.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR DEB TGZ)
endif()
# The packages carry the tool without its symbols; the build tree and a
# plain cmake --install keep them for debugging.
set(CPACK_STRIP_FILES ON)
# Folders get the permissions Debian requires whatever the packager's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian keeps the pkg-config files of an architecture's libraries in
# /usr/lib/<multiarch>/pkgconfig: the Debian package moves tremlox-screen.pc
# there when the install puts it in lib/pkgconfig.
if(CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
    set(CPACK_TREMLOX_MULTIARCH "${CMAKE_LIBRARY_ARCHITECTURE}")
    set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/packaging/DebianPkgConfig.cmake")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TREMLOX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Fills Depends from the shared libraries the programs link: zlib for
# tremlox-view.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
