# add_project_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [ENV k=v ...])
# One GoogleTest executable, run by ctest as one test. Tests labelled "tsan"
# are also collected in the target tsan-tests, which CI builds and runs under
# ThreadSanitizer.
if(NOT TARGET tsan-tests)
  add_custom_target(tsan-tests)
endif()

set(PROJECT_TEST_ENV
  "HOME=${CMAKE_BINARY_DIR}/test-home"
  "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/.config"
  "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/.local/share"
  "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/.cache"
  "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-home/run"
  "QT_QPA_PLATFORM=offscreen"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:halt_on_error=1"
  "PROJECT_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "PROJECT_BINARY_DIR=${CMAKE_BINARY_DIR}")

function(add_project_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  project_warnings(${name})
  # Only the OpenCL tests: Qt's font cache is freed by its exit-time teardown,
  # so an earlier check would report it.
  if(SANITIZE MATCHES "address" AND "gpu" IN_LIST T_LABELS)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/leak_check_before_exit.cpp)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${PROJECT_TEST_ENV};${T_ENV}")
  if("tsan" IN_LIST T_LABELS)
    add_dependencies(tsan-tests ${name})
  endif()
endfunction()

# add_install_consumer_test(<library> <public header>)
# Builds a program from tests/<library>/consumer against the installed tree
# (CMake package and pkg-config) and runs it.
function(add_install_consumer_test library header)
  set(flags "")
  if(SANITIZE)
    set(flags "-fsanitize=${SANITIZE}")
  endif()
  add_test(NAME ${library}_install_consumer
    COMMAND ${PROJECT_SOURCE_DIR}/tests/support/install_consumer_test.sh ${CMAKE_BINARY_DIR}
      ${CMAKE_CURRENT_SOURCE_DIR}/consumer ${CMAKE_CURRENT_BINARY_DIR}/consumer-work ${CMAKE_CXX_COMPILER}
      "${flags}" ${library} ${header})
  set_tests_properties(${library}_install_consumer PROPERTIES
    LABELS "integration;gpu" TIMEOUT 300 ENVIRONMENT "${PROJECT_TEST_ENV}")
endfunction()
