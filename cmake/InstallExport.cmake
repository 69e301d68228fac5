include(CMakePackageConfigHelpers)

# install_shared_library(<target> <public header dir name>)
# Installs the library, its public headers under include/<name>/, an exported
# CMake package (find_package(<target>)) and a pkg-config file whose flags
# also set the program's run path, so that a program built with them runs
# without LD_LIBRARY_PATH.
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
Libs: -L\${libdir} -Wl,-rpath,\${libdir} -l${target}
Cflags: -I\${includedir}
")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

# add_core_library(<target> <building define>)
# The objects of a GPU library, linked into the shared library and into the
# tests: the folder's headers, the export define while building, the GPU runtime.
function(add_core_library target building_define)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_compile_definitions(${target} PUBLIC ${building_define})
  target_link_libraries(${target} PUBLIC gpu_runtime)
  project_warnings(${target})
endfunction()

# finish_gpu_library(<target>)
# The shared library made of its core objects: public headers under
# include/<target>/, library versioning, warnings and installation.
function(finish_gpu_library target)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  project_warnings(${target})
  install_shared_library(${target} ${target})
endfunction()
