# The GStreamer elements against lutgrade-cli and cmatte-cli on the same files.
if(TARGET gstpezavideo)
  if(NOT TARGET test_frames)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench-support)
  endif()
  add_executable(gst_bench ${CMAKE_CURRENT_SOURCE_DIR}/gst_bench.cpp)
  target_link_libraries(gst_bench PRIVATE test_frames PkgConfig::GSTREAMER_VIDEO)
  target_compile_definitions(gst_bench PRIVATE
    GST_PLUGIN_DIR="$<TARGET_FILE_DIR:gstpezavideo>"
    LUTGRADE_CLI="$<TARGET_FILE:lutgrade-cli>"
    CMATTE_CLI="$<TARGET_FILE:cmatte-cli>")
  add_dependencies(gst_bench gstpezavideo lutgrade-cli cmatte-cli)
  project_warnings(gst_bench)
endif()
