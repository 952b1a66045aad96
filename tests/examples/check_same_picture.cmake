# Fails unless the two pictures in PICTURES have the same size and pixels,
# by ImageMagick's compare, whatever their formats or compression.
#
#   cmake -DCOMPARE=<compare> -DPICTURES=<first>;<second> -P check_same_picture.cmake
cmake_minimum_required(VERSION 3.25)

list(GET PICTURES 0 first)
list(GET PICTURES 1 second)
# compare prints the number of differing pixels on standard error, and
# fails on pictures of different sizes.
execute_process(COMMAND "${COMPARE}" -metric AE "${first}" "${second}" null:
    RESULT_VARIABLE status ERROR_VARIABLE differing)
string(STRIP "${differing}" differing)
if(NOT differing STREQUAL "0")
    message(FATAL_ERROR "${first} and ${second} differ: ${differing} (${status})")
endif()
