add_executable(md5_bench ${CMAKE_CURRENT_SOURCE_DIR}/md5_bench.cpp)
target_link_libraries(md5_bench PRIVATE common)
project_warnings(md5_bench)
