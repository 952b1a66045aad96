# Runs the SDL example without a display and holds the picture its window
# showed against tremlox-view's PNG of the same screen: every pixel equal.
#
#   cmake -DSDL_VIEWER=<sdl_viewer> -DVIEW=<tremlox-view> -DSCREEN=<classic.ans>
#         -DCOMPARE=<ImageMagick's compare> -DWORK_DIR=<folder> -P check_sdl_viewer.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(ENV{SDL_VIDEODRIVER} dummy)
execute_process(COMMAND "${SDL_VIEWER}" --save "${WORK_DIR}/window.bmp"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "sdl_viewer failed (${status}): ${errors}")
endif()
execute_process(COMMAND "${VIEW}" -o "${WORK_DIR}/picture.png" "${SCREEN}"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tremlox-view -o failed (${status}): ${errors}")
endif()
set(PICTURES "${WORK_DIR}/window.bmp;${WORK_DIR}/picture.png")
include("${CMAKE_CURRENT_LIST_DIR}/check_same_picture.cmake")
