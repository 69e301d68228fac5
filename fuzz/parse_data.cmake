add_fuzzer(fuzz_parse_data ${CMAKE_CURRENT_SOURCE_DIR}/parse_data.cpp OrvalenBackendServer)
