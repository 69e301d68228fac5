add_fuzzer(fuzz_lutgrade_hsv ${CMAKE_CURRENT_SOURCE_DIR}/lutgrade_hsv.cpp lutgrade)
target_sources(fuzz_lutgrade_hsv PRIVATE ${PROJECT_SOURCE_DIR}/lutgrade/tables/adjustment_list.cpp)
target_include_directories(fuzz_lutgrade_hsv PRIVATE ${PROJECT_SOURCE_DIR}/lutgrade)
