# Compresses one file as Debian packages want it: the highest level, and no
# name or time stamp in the header, so that the same input always gives the
# same bytes.
#
#   cmake -DGZIP=<gzip> -DINPUT=<file> -DOUTPUT=<file.gz> -P GzipFile.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${GZIP}" -9 -n -c
    INPUT_FILE "${INPUT}" OUTPUT_FILE "${OUTPUT}.part" RESULT_VARIABLE result)
if(NOT result STREQUAL "0")
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "${GZIP} could not compress ${INPUT}: ${result}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
