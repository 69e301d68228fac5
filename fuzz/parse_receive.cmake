add_fuzzer(fuzz_parse_receive ${CMAKE_CURRENT_SOURCE_DIR}/parse_receive.cpp OrvalenBackendServer)
