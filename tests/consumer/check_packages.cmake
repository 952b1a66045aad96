# Checks that a stripped install holds exactly tremlox's files (the tool,
# tremlox-view, the library, the man pages and the CMake package), then builds
# the Debian package and the tar.gz archive with CPack and checks that each
# holds exactly those files, with the same contents; that the build tree's
# tool keeps its symbols, that the documents are compressed as Debian wants
# them, and that the Debian package describes itself.
#
#   cmake -DSOURCE_DIR=<tremlox sources> -DBINARY_DIR=<tremlox build>
#         -DWORK_DIR=<scratch folder> -DVERSION=<project version>
#         -DTOOL=<the build tree's tremlox> [-DGZIP=<gzip>] [-DCONFIG=...]
#         [-DCOMPRESSED_DOCS=ON|OFF] [-DMULTIARCH=<Debian's multiarch folder>]
#         -P check_packages.cmake
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake")

# Lists the files under <folder>, relative to it, sorted.
function(list_files folder out_var)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${folder}" "${folder}/*")
    list(SORT files)
    set(${out_var} "${files}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(staging "${WORK_DIR}/installed")
if(CONFIG)
    set(config_arguments --config "${CONFIG}")
endif()
run_or_fail(COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --prefix "${staging}" --strip
    ${config_arguments})
# The man pages and the changelog are gzipped where the build compresses them.
if(NOT DEFINED COMPRESSED_DOCS OR COMPRESSED_DOCS)
    set(compressed_suffix .gz)
endif()
list_files("${staging}" installed)
# The per-configuration targets file is named for the build type.
list(FILTER installed EXCLUDE REGEX "^lib/cmake/tremlox/tremloxTargets-.*\\.cmake$")
set(tremlox_files
    bin/tremlox
    bin/tremlox-view
    include/tremlox/screen.h
    include/tremlox/screen_version.h
    lib/cmake/tremlox/TremloxAddScreen.cmake
    lib/cmake/tremlox/templates/screen.c.in
    lib/cmake/tremlox/templates/screen.h.in
    lib/cmake/tremlox/tremloxConfig.cmake
    lib/cmake/tremlox/tremloxConfigVersion.cmake
    lib/cmake/tremlox/tremloxTargets.cmake
    lib/libtremlox_screen.a
    lib/pkgconfig/tremlox-screen.pc
    share/doc/tremlox/LICENSE
    share/doc/tremlox/changelog${compressed_suffix}
    share/doc/tremlox/copyright
    share/man/man1/tremlox-view.1${compressed_suffix}
    share/man/man1/tremlox.1${compressed_suffix}
    share/man/man3/tremlox_screen.3${compressed_suffix})
expect_equal("${installed}" "${tremlox_files}" "the files of the install")
list_files("${staging}" installed)

file(SIZE "${TOOL}" built_size)
file(SIZE "${staging}/bin/tremlox" stripped_size)
if(NOT stripped_size LESS built_size)
    message(FATAL_ERROR "stripping the tool saved nothing (${built_size} bytes before, "
        "${stripped_size} after): the build tree's tremlox has no symbols to debug with")
endif()

# The man page and the changelog: gzip streams without a time stamp, so that
# the same sources make the same package, holding the texts they came from.
if(compressed_suffix)
    foreach(file IN ITEMS share/man/man1/tremlox.1.gz share/man/man1/tremlox-view.1.gz
                          share/man/man3/tremlox_screen.3.gz share/doc/tremlox/changelog.gz)
        file(READ "${staging}/${file}" header HEX LIMIT 8)
        expect_equal("${header}" "1f8b080000000000" "the gzip header of ${file}")
    endforeach()
    run_or_fail(COMMAND "${GZIP}" -dc "${staging}/share/man/man1/tremlox.1.gz")
    file(READ "${SOURCE_DIR}/docs/tremlox.1" man_page)
    expect_equal("${run_output}" "${man_page}" "the installed man page")
    run_or_fail(COMMAND "${GZIP}" -dc "${staging}/share/man/man1/tremlox-view.1.gz")
    file(READ "${SOURCE_DIR}/docs/tremlox-view.1" view_man_page)
    expect_equal("${run_output}" "${view_man_page}" "the installed man page of tremlox-view")
    run_or_fail(COMMAND "${GZIP}" -dc "${staging}/share/man/man3/tremlox_screen.3.gz")
    file(READ "${SOURCE_DIR}/docs/tremlox_screen.3" library_man_page)
    expect_equal("${run_output}" "${library_man_page}" "the installed library man page")
    run_or_fail(COMMAND "${GZIP}" -dc "${staging}/share/doc/tremlox/changelog.gz")
    set(changelog "${run_output}")
else()
    file(READ "${staging}/share/doc/tremlox/changelog" changelog)
endif()
string(REGEX MATCH "^[^\n]*" first_line "${changelog}")
expect_equal("${first_line}" "tremlox (${VERSION}) unstable; urgency=medium"
    "the changelog's latest entry")
file(READ "${staging}/share/doc/tremlox/copyright" copyright)
expect_contains("${copyright}" "License: Expat\n Permission is hereby granted"
    "the copyright file")

if(CONFIG)
    set(cpack_config -C "${CONFIG}")
endif()
run_or_fail(COMMAND cpack --config "${BINARY_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/packages"
    ${cpack_config})

function(the_one_package pattern out_var)
    file(GLOB found "${WORK_DIR}/packages/${pattern}")
    list(LENGTH found count)
    expect_equal("${count}" "1" "packages named ${pattern}")
    set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# Expects the files under <root> to be <files>, each as the stripped install
# has it where the install has it too.
function(expect_install_contents root files what)
    list_files("${root}" unpacked)
    expect_equal("${unpacked}" "${files}" "the files of the ${what}")
    foreach(file IN LISTS files)
        if(file IN_LIST installed)
            execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                "${staging}/${file}" "${root}/${file}" RESULT_VARIABLE different)
            expect_equal("${different}" "0" "${file} in the ${what} differs from the install")
        endif()
    endforeach()
    execute_process(COMMAND "${root}/bin/tremlox" RESULT_VARIABLE usage_status
        OUTPUT_QUIET ERROR_QUIET)
    expect_equal("${usage_status}" "1" "bin/tremlox of the ${what} does not run")
    execute_process(COMMAND "${root}/bin/tremlox-view" --version RESULT_VARIABLE version_status
        OUTPUT_VARIABLE version_text ERROR_QUIET)
    expect_equal("${version_status}|${version_text}" "0|tremlox-view ${VERSION}\n"
        "bin/tremlox-view --version of the ${what}")
endfunction()

# The Debian package keeps the pkg-config file in the multiarch folder.
set(deb_files "${installed}")
if(MULTIARCH)
    list(TRANSFORM deb_files REPLACE "^lib/pkgconfig/" "lib/${MULTIARCH}/pkgconfig/")
    list(SORT deb_files)
endif()

# The Debian package: its listing, its files and its control fields.
the_one_package("tremlox_${VERSION}_*.deb" deb)
# The permissions Debian requires, whatever the umask of the build:
# "-rwxr-xr-x root/root 1234 2026-01-01 00:00 ./usr/bin/tremlox"
run_or_fail(COMMAND dpkg-deb --contents "${deb}")
string(REGEX MATCHALL "[^\n]+" entries "${run_output}")
foreach(entry IN LISTS entries)
    if(entry MATCHES "^d" AND NOT entry MATCHES "^drwxr-xr-x root/root ")
        message(FATAL_ERROR "a folder of the Debian package is not 0755 root/root: ${entry}")
    elseif(entry MATCHES "^-" AND NOT entry MATCHES "^-rw-r--r-- root/root "
           AND NOT entry MATCHES "^-rwxr-xr-x root/root .* \\./usr/bin/tremlox(-view)?$")
        message(FATAL_ERROR "a file of the Debian package is not 0644 root/root: ${entry}")
    endif()
endforeach()
run_or_fail(COMMAND dpkg-deb --extract "${deb}" "${WORK_DIR}/deb")
expect_install_contents("${WORK_DIR}/deb/usr" "${deb_files}" "Debian package")
# Moved or not, the pkg-config file leads to the header and the library.
list(FILTER deb_files INCLUDE REGEX "\\.pc$")
cmake_path(GET deb_files PARENT_PATH pc_folder)
foreach(variable IN ITEMS includedir libdir templatedir)
    run_or_fail(COMMAND "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${WORK_DIR}/deb/usr/${pc_folder}"
        pkg-config --variable=${variable} tremlox-screen)
    string(STRIP "${run_output}" ${variable})
endforeach()
if(NOT EXISTS "${includedir}/tremlox/screen.h" OR NOT EXISTS "${libdir}/libtremlox_screen.a"
   OR NOT EXISTS "${templatedir}/screen.c.in")
    message(FATAL_ERROR "the Debian package's pkg-config file leads to ${includedir}, "
        "${libdir}, ${templatedir}")
endif()

foreach(field IN ITEMS Package Version Maintainer Depends Description)
    run_or_fail(COMMAND dpkg-deb --field "${deb}" ${field})
    string(STRIP "${run_output}" value_${field})
endforeach()
expect_equal("${value_Package}" "tremlox" "the package's name")
expect_equal("${value_Version}" "${VERSION}" "the package's version")
expect_contains("${value_Maintainer}" "@" "the package's maintainer")
expect_contains("${value_Depends}" "libc6" "the package's dependencies")
# tremlox-view writes PNG files and reads gzipped fonts with zlib.
expect_contains("${value_Depends}" "zlib1g" "the package's dependencies")
foreach(part IN ITEMS "ANSI screen" "tremlox::screen" "pkg-config" "tremlox_add_screen")
    expect_contains("${value_Description}" "${part}" "the package's description")
endforeach()

# The archive: one top folder holding the install, and nothing else.
the_one_package("tremlox-${VERSION}-*.tar.gz" archive)
file(MAKE_DIRECTORY "${WORK_DIR}/archive")
run_or_fail(COMMAND tar -xzf "${archive}" -C "${WORK_DIR}/archive")
file(GLOB top RELATIVE "${WORK_DIR}/archive" "${WORK_DIR}/archive/*")
expect_equal("${top}" "tremlox-${VERSION}-${CMAKE_HOST_SYSTEM_NAME}" "the archive's top folder")
expect_install_contents("${WORK_DIR}/archive/tremlox-${VERSION}-${CMAKE_HOST_SYSTEM_NAME}"
    "${installed}" "tar.gz archive")

message(STATUS "Both packages hold exactly the install")
