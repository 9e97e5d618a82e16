# The windows' benchmark under a real X server (window_bench.sh runs it):
# "Next >", "Start Finding", Select All, the Trash question and the clipboard
# on a million files. Not run by ctest.
add_executable(WindowBench ${CMAKE_CURRENT_LIST_DIR}/WindowBench.cpp)
target_link_libraries(WindowBench PRIVATE gui Qt6::Test)
