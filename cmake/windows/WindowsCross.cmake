# Set-up of the Windows cross build, included from the top-level CMakeLists.

# The GCC runtime (libstdc++, libgcc, winpthreads) is linked into every DLL
# and program, so nothing but OpenCL.dll and system DLLs is needed beside them.
add_link_options(-static)
# Windows finds a program's DLLs beside it: every DLL and program goes to bin/.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# cmatte.dll and lutgrade.dll, as the host application loads them.
set(CMAKE_SHARED_LIBRARY_PREFIX "")

# Header-only dependencies come from the host's /usr/include, one folder
# each, never the whole of it (its C library headers are not Windows').
function(host_header_folder name package)
  if(NOT EXISTS /usr/include/${name})
    message(FATAL_ERROR "/usr/include/${name} missing (Debian package ${package})")
  endif()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-headers)
  file(CREATE_LINK /usr/include/${name} ${CMAKE_BINARY_DIR}/host-headers/${name} SYMBOLIC)
endfunction()
host_header_folder(CL opencl-headers)
host_header_folder(rapidjson rapidjson-dev)
set(RAPIDJSON_INCLUDE_DIRS ${CMAKE_BINARY_DIR}/host-headers)

# OpenCL: an import library for OpenCL.dll made from our own list of entry
# points. FindOpenCL picks it and the headers up.
find_program(MINGW_DLLTOOL ${MINGW_TRIPLET}-dlltool REQUIRED)
set(opencl_dir ${CMAKE_BINARY_DIR}/opencl)
set(opencl_def ${CMAKE_CURRENT_LIST_DIR}/OpenCL.def)
file(MAKE_DIRECTORY ${opencl_dir})
execute_process(COMMAND ${MINGW_DLLTOOL} -d ${opencl_def} -l ${opencl_dir}/libOpenCL.dll.a
  RESULT_VARIABLE dlltool_result)
if(NOT dlltool_result EQUAL 0)
  message(FATAL_ERROR "dlltool could not make the OpenCL import library")
endif()
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${opencl_def})
set(OpenCL_INCLUDE_DIR ${CMAKE_BINARY_DIR}/host-headers CACHE PATH "OpenCL headers" FORCE)
set(OpenCL_LIBRARY ${opencl_dir}/libOpenCL.dll.a CACHE FILEPATH "OpenCL import library" FORCE)

# Programs built here run under 64-bit Wine, in a prefix of this build
# folder: ctest's tests and the build-time kernel scrambler alike.
find_program(WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Debian ships GoogleTest as sources; build them with the cross compiler.
if(BUILD_TESTING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # It defines GTest::gtest and GTest::gtest_main itself.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
