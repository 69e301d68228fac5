#include "keyers/working_plane.h"

#include <cstring>
#include <vector>

#include "gpu_runtime/gpu_print.h"

namespace cmatte {

PlaneShape plane_shape(int w, int h, Element element) {
    const std::int32_t size = static_cast<std::int32_t>(element);
    const int height = element == Element::kFloat ? (h + 3) / 4 * 4 : h;
    return {w, height, (w + 3) / 4 * 4, size};
}

cl_mem create_working_plane(cl_context context, cl_command_queue queue, int w, int h,
                            Element element) {
    const PlaneShape shape = plane_shape(w, h, element);
    const std::size_t bytes = kPlaneHeaderBytes + static_cast<std::size_t>(shape.stride) *
                                                      shape.height * shape.elementSize;
    cl_int status = CL_INVALID_CONTEXT;
    cl_mem plane = nullptr;
    if (context && w > 0 && h > 0)
        plane = clCreateBuffer(context, CL_MEM_READ_WRITE, bytes, nullptr, &status);
    if (status == CL_SUCCESS) {
        status = queue ? CL_SUCCESS : CL_INVALID_COMMAND_QUEUE;
        // Zero-filled so that padding never holds stale values.
        std::vector<unsigned char> init(bytes, 0);
        std::memcpy(init.data(), &shape, sizeof shape);
        if (queue)
            status = clEnqueueWriteBuffer(queue, plane, CL_TRUE, 0, bytes, init.data(), 0, nullptr,
                                          nullptr);
    }
    if (status != CL_SUCCESS) {
        gpurt::gpu_print("Error @clCreateImage(buffer):%d\n", status);
        if (plane) clReleaseMemObject(plane);
        return nullptr;
    }
    return plane;
}

cl_int read_working_plane(cl_command_queue queue, cl_mem plane, const PlaneShape& shape,
                          void* dst) {
    if (!plane || !queue) return CL_INVALID_MEM_OBJECT;
    const std::size_t rowBytes = static_cast<std::size_t>(shape.stride) * shape.elementSize;
    const std::size_t packed = static_cast<std::size_t>(shape.width) * shape.elementSize;
    const std::size_t rows = static_cast<std::size_t>(shape.height);
    if (rowBytes == packed)
        return clEnqueueReadBuffer(queue, plane, CL_TRUE, kPlaneHeaderBytes, packed * rows, dst, 0,
                                   nullptr, nullptr);
    const std::size_t bufferOrigin[3] = {kPlaneHeaderBytes, 0, 0}, hostOrigin[3] = {0, 0, 0};
    const std::size_t region[3] = {packed, rows, 1};
    return clEnqueueReadBufferRect(queue, plane, CL_TRUE, bufferOrigin, hostOrigin, region,
                                   rowBytes, 0, packed, 0, dst, 0, nullptr, nullptr);
}

}  // namespace cmatte
