include(CMakePackageConfigHelpers)

# install_shared_library(<target> <public header dir name>)
# Installs the library, its public headers under include/<name>/, an exported
# CMake package (find_package(<target>)) and a pkg-config file.
function(install_shared_library target header_dir)
  install(TARGETS ${target} EXPORT ${target}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/${header_dir}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT ${target}Targets NAMESPACE ${target}::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${target})

  set(PKG_NAME ${target})
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake.in
    "@PACKAGE_INIT@\ninclude(\"\${CMAKE_CURRENT_LIST_DIR}/${target}Targets.cmake\")\n")
  configure_package_config_file(${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${target})

  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc
"prefix=\${pcfiledir}/../..
libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}
includedir=\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}

Name: ${target}
Description: ${target} video frame library (OpenCL)
Version: ${PROJECT_VERSION}
Libs: -L\${libdir} -l${target}
Cflags: -I\${includedir}
")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

# finish_gpu_library(<target> <building define>)
# The common set-up of the GPU libraries: public headers under include/<target>/,
# the folder's own headers private, the export define while building, the GPU
# runtime linked in, library versioning, warnings and installation.
function(finish_gpu_library target building_define)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE ${building_define})
  target_link_libraries(${target} PRIVATE gpu_runtime)
  set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  project_warnings(${target})
  install_shared_library(${target} ${target})
endfunction()

# link_gpu_library_internals(<target> <library>)
# For a test or tool that uses a GPU library's internal classes as well as its
# public one. The Windows DLLs export the public class only, so there the
# target takes the library's own objects instead of its import library.
function(link_gpu_library_internals target library)
  if(WIN32)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${library}>)
    target_compile_definitions(${target} PRIVATE $<TARGET_PROPERTY:${library},COMPILE_DEFINITIONS>)
    target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
    target_link_libraries(${target} PRIVATE gpu_runtime)
  else()
    target_link_libraries(${target} PRIVATE ${library})
  endif()
endfunction()
