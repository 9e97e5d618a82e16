# The result list's benchmark: Start Finding, Select All and Unselect All on a
# million found files, and the memory each row costs. Not run by ctest.
add_executable(ModelBench ${CMAKE_CURRENT_LIST_DIR}/ModelBench.cpp)
target_link_libraries(ModelBench PRIVATE gui)
