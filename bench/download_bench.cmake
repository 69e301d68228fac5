# The test support brings nginx and the certificate helper.
if(NOT TARGET test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench-support)
endif()
add_executable(download_bench ${CMAKE_CURRENT_SOURCE_DIR}/download_bench.cpp)
target_link_libraries(download_bench PRIVATE test_support)
project_warnings(download_bench)
