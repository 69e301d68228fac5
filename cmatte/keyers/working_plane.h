// Working planes of the version-2 keyer: OpenCL buffers that start with a
// 16-byte header { width, height, row stride in elements, element size } so
// that one kernel serves byte and float planes of any size. Rows are padded
// to a multiple of four elements.
#pragma once

#include <cstdint>

#include "gpu_runtime/cl_api.h"

namespace cmatte {

enum class Element : std::int32_t { kByte = 1, kFloat = 4 };

struct PlaneShape {
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;       // elements per row
    std::int32_t elementSize;  // bytes
};

constexpr std::size_t kPlaneHeaderBytes = 16;

// The shape of a w x h plane; float planes get their height raised to a multiple of 4.
PlaneShape plane_shape(int w, int h, Element element);

// Creates the buffer and writes its header; nullptr after printing
// "Error @clCreateImage(buffer):%d\n" when that fails.
cl_mem create_working_plane(cl_context context, cl_command_queue queue, int w, int h,
                            Element element);

// Blocking read of the plane's rows into packed w-element rows (for checks).
cl_int read_working_plane(cl_command_queue queue, cl_mem plane, const PlaneShape& shape, void* dst);

}  // namespace cmatte
