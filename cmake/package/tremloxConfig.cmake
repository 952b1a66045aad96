# The tremlox package: the imported executable tremlox::tremlox and the
# function tremlox_add_screen, which embeds converted screens in a target.
include("${CMAKE_CURRENT_LIST_DIR}/tremloxTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/TremloxAddScreen.cmake")
