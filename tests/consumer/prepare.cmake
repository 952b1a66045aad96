# Sets up a consumer test's folder: tremlox installed, and then moved, to
# WORK_DIR/prefix, as a package may be unpacked anywhere; with PROJECT, a copy
# of that project in WORK_DIR/source, which the test may change.
#
#   cmake -DBINARY_DIR=<tremlox build> [-DCONFIG=...] -DWORK_DIR=<folder>
#         [-DPROJECT=<consumer project>] -P prepare.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
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
