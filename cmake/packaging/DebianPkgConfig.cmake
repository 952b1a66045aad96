# Run by CPack before it packs each package. In the Debian package,
# tremlox-screen.pc moves from /usr/lib/pkgconfig to
# /usr/lib/<multiarch>/pkgconfig, where Debian keeps the pkg-config files of
# an architecture's libraries and where pkg-config looks when
# cross-compiling. One folder deeper, it goes one ".." more up to the prefix.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(lib "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/lib")
set(multiarch "${lib}/${CPACK_TREMLOX_MULTIARCH}")
file(READ "${lib}/pkgconfig/tremlox-screen.pc" text)
string(REPLACE "\${pcfiledir}/../.." "\${pcfiledir}/../../.." text "${text}")
file(WRITE "${lib}/pkgconfig/tremlox-screen.pc" "${text}")
file(MAKE_DIRECTORY "${multiarch}")
file(CHMOD "${multiarch}" PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(RENAME "${lib}/pkgconfig" "${multiarch}/pkgconfig")
