# Sets up a consumer test's folder: tremlox installed, and then moved, to
# WORK_DIR/prefix, as a package may be unpacked anywhere; with PROJECT, a copy
# of that project in WORK_DIR/source, which the test may change.
#
#   cmake -DBINARY_DIR=<tremlox build> [-DCONFIG=...] -DWORK_DIR=<folder>
#         [-DPROJECT=<consumer project>] -P prepare.cmake
#
# With -DSHARED_BUILD=<folder> -DSOURCE_DIR=<tremlox> -DGENERATOR=...
# -DMAKE_PROGRAM=... -DC_COMPILER=... -DCXX_COMPILER=..., tremlox is first
# built there with tremlox::screen as a shared library, and that build is
# installed instead.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
if(SHARED_BUILD)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${SHARED_BUILD}" -G "${GENERATOR}"
                "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_C_COMPILER=${C_COMPILER}"
                "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_BUILD_TYPE=Release
                -DBUILD_SHARED_LIBS=ON -DTREMLOX_BUILD_TESTS=OFF -DTREMLOX_BUILD_EXAMPLES=OFF
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${SHARED_BUILD}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    set(BINARY_DIR "${SHARED_BUILD}")
    set(CONFIG "")
endif()
if(CONFIG)
    set(config --config "${CONFIG}")
endif()
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --prefix "${WORK_DIR}/installed" ${config}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${WORK_DIR}/installed" "${WORK_DIR}/prefix")
if(PROJECT)
    file(COPY "${PROJECT}/" DESTINATION "${WORK_DIR}/source")
endif()
