add_fuzzer(fuzz_delta_manifest ${CMAKE_CURRENT_SOURCE_DIR}/delta_manifest.cpp updater_delta)
