# SANITIZE=address,undefined or SANITIZE=thread applies to every target.
if(SANITIZE)
  if(SANITIZE MATCHES "thread" AND SANITIZE MATCHES "address")
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer")
  endif()
  add_compile_options(-fsanitize=${SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${SANITIZE})
endif()

# Fuzz builds instrument every library the fuzz targets link; any sanitizer
# report ends the run, so that it counts as a finding.
if(BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Known reports inside dependency headers that clang flags (see the file).
if((SANITIZE OR BUILD_FUZZERS) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize-ignorelist=${CMAKE_CURRENT_LIST_DIR}/sanitizer-ignorelist.txt)
endif()
