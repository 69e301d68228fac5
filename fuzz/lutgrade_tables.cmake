add_fuzzer(fuzz_lutgrade_tables ${CMAKE_CURRENT_SOURCE_DIR}/lutgrade_tables.cpp lutgrade)
target_include_directories(fuzz_lutgrade_tables PRIVATE ${PROJECT_SOURCE_DIR}/lutgrade)
