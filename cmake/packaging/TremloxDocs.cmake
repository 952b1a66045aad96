# The documents installed beside the tool in share/doc/tremlox: the license,
# a machine-readable copyright file and the changelog, and the man pages of
# the tool, of tremlox-view and of the tremlox::screen library.
# Debian wants the man page and the changelog compressed with gzip -9n; where
# there is no gzip, or TREMLOX_COMPRESS_DOCS is off, both are installed as
# plain text.
find_program(TREMLOX_GZIP_EXECUTABLE gzip DOC "gzip, to compress the man page and changelog")
# A Windows user has no man to read a gzipped page with.
if(TREMLOX_GZIP_EXECUTABLE AND NOT WIN32)
    set(gzip_found ON)
else()
    set(gzip_found OFF)
endif()
option(TREMLOX_COMPRESS_DOCS "Install the man page and the changelog gzipped" ${gzip_found})
if(TREMLOX_COMPRESS_DOCS AND NOT TREMLOX_GZIP_EXECUTABLE)
    message(FATAL_ERROR "TREMLOX_COMPRESS_DOCS is on, but there is no gzip: install it, "
        "set TREMLOX_GZIP_EXECUTABLE, or turn TREMLOX_COMPRESS_DOCS off")
endif()

set(TREMLOX_PACKAGE_MAINTAINER "tremlox developers <tremlox@example.org>"
    CACHE STRING "Who maintains the packages, as \"Name <address>\"")

set(docs_folder "${PROJECT_BINARY_DIR}/docs")

# The copyright file carries the license text of LICENSE, each line indented
# by one blank and each empty line written as " ." in that format.
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND
    PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license_text)
string(FIND "${license_text}" "Permission is hereby granted" license_start)
if(license_start EQUAL -1)
    message(FATAL_ERROR "LICENSE does not hold the MIT license text")
endif()
string(SUBSTRING "${license_text}" ${license_start} -1 license_terms)
string(STRIP "${license_terms}" license_terms)
string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
string(REPLACE "\n" "\n " license_terms "${license_terms}")
file(CONFIGURE OUTPUT "${docs_folder}/copyright" @ONLY CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@
Comment: The C source that tremlox writes is made from the user's own files
 and is the user's own data: this license does not cover it.

Files: *
Copyright: 2026 the tremlox developers
License: Expat
 @license_terms@
]])

set(changelog_text "${docs_folder}/changelog")
add_custom_command(
    OUTPUT "${changelog_text}"
    COMMAND "${CMAKE_COMMAND}" "-DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md"
            "-DOUTPUT=${changelog_text}" "-DPACKAGE=${PROJECT_NAME}"
            "-DVERSION=${PROJECT_VERSION}" "-DMAINTAINER=${TREMLOX_PACKAGE_MAINTAINER}"
            -P "${PROJECT_SOURCE_DIR}/cmake/packaging/DebianChangelog.cmake"
    MAIN_DEPENDENCY "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
    DEPENDS "${PROJECT_SOURCE_DIR}/cmake/packaging/DebianChangelog.cmake"
    COMMENT "Writing the changelog from CHANGELOG.md"
    VERBATIM)

set(man_page "${PROJECT_SOURCE_DIR}/docs/tremlox.1")
set(view_man_page "${PROJECT_SOURCE_DIR}/docs/tremlox-view.1")
set(library_man_page "${PROJECT_SOURCE_DIR}/docs/tremlox_screen.3")
if(TREMLOX_COMPRESS_DOCS)
    set(installed_changelog "${changelog_text}.gz")
    set(installed_man_page "${docs_folder}/tremlox.1.gz")
    set(installed_view_man_page "${docs_folder}/tremlox-view.1.gz")
    set(installed_library_man_page "${docs_folder}/tremlox_screen.3.gz")
    foreach(pair IN ITEMS "${changelog_text}|${installed_changelog}"
                          "${man_page}|${installed_man_page}"
                          "${view_man_page}|${installed_view_man_page}"
                          "${library_man_page}|${installed_library_man_page}")
        string(REPLACE "|" ";" pair "${pair}")
        list(GET pair 0 plain)
        list(GET pair 1 compressed)
        cmake_path(GET compressed FILENAME compressed_name)
        add_custom_command(
            OUTPUT "${compressed}"
            COMMAND "${CMAKE_COMMAND}" "-DGZIP=${TREMLOX_GZIP_EXECUTABLE}"
                    "-DINPUT=${plain}" "-DOUTPUT=${compressed}"
                    -P "${PROJECT_SOURCE_DIR}/cmake/packaging/GzipFile.cmake"
            MAIN_DEPENDENCY "${plain}"
            DEPENDS "${PROJECT_SOURCE_DIR}/cmake/packaging/GzipFile.cmake"
            COMMENT "Compressing ${compressed_name}"
            VERBATIM)
    endforeach()
else()
    set(installed_changelog "${changelog_text}")
    set(installed_man_page "${man_page}")
    set(installed_view_man_page "${view_man_page}")
    set(installed_library_man_page "${library_man_page}")
endif()
add_custom_target(tremlox_docs ALL
    DEPENDS "${installed_changelog}" "${installed_man_page}" "${installed_view_man_page}"
            "${installed_library_man_page}")

install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" "${docs_folder}/copyright" "${installed_changelog}"
    DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES "${installed_man_page}" "${installed_view_man_page}"
    DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${installed_library_man_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man3")
