add_executable(lutgrade_bench ${CMAKE_CURRENT_SOURCE_DIR}/lutgrade_bench.cpp)
target_link_libraries(lutgrade_bench PRIVATE lutgrade)
project_warnings(lutgrade_bench)
