# Packages the install as a Debian package and a tar.gz archive, or on
# Windows as a ZIP archive.
set(CPACK_PACKAGE_NAME tremlox)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The tremlox developers")
set(CPACK_PACKAGE_CONTACT "The tremlox developers <tremlox@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "tremlox turns any file, meant to be an ANSI screen, into C source that declares one "
    "array holding every byte of the file, so that a program can carry the screen as data. "
    "The package also holds a CMake package whose function tremlox_add_screen embeds "
    "screens in a target.")
if(WIN32)
    # A ZIP of the tool, its README and man page, and the CMake package.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR DEB TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# Fills Depends from the shared libraries the tool links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
