#include "gpu_runtime/frame_images.h"

#include <vector>

#include "gpu_runtime/device_context.h"
#include "gpu_runtime/gpu_print.h"

namespace gpurt {

const FrameMessages& standard_frame_messages() {
  static const FrameMessages messages{
    "Error @clCreateImage(Y):%d\n",
    "Error @clCreateImage(UV):%d\n",
    "Error @clCreateImage(U):%d\n",
    "Error @clCreateImage(V):%d\n",
    "Error @clCreateImage(YUy2):%d\n",
    "Error Y @clEnqueueWriteImage(1Y):%d\n",
    "Error UV @clEnqueueWriteImage(1UV):%d\n",
    "Error Y @clEnqueueWriteImage(1Y):%d\n",
    "Error UV @clEnqueueWriteImage(1UV):%d\n",
    "Error UV @clEnqueueWriteImage(1UV):%d\n",
    "Error Y @clEnqueueWriteImage(YUY2):%d\n",
};
  return messages;
}
namespace {

cl_mem create_image_2d(cl_context context, cl_channel_order order, std::size_t width, std::size_t height,
                       const char* failureMessage) {
  cl_int status = CL_INVALID_CONTEXT;
  cl_mem image = nullptr;
  if (context) {
    const cl_image_format format{order, CL_UNORM_INT8};
    cl_image_desc desc{};
    desc.image_type = CL_MEM_OBJECT_IMAGE2D;
    desc.image_width = width;
    desc.image_height = height;
    desc.image_depth = 1;
    image = clCreateImage(context, CL_MEM_READ_WRITE, &format, &desc, nullptr, &status);
  }
  if (status != CL_SUCCESS) {
    gpu_print(failureMessage, status);
    return nullptr;
  }
  return image;
}

// One blocking transfer of a whole region; empty handles never reach OpenCL.
enum class Direction { kUpload, kDownload };

cl_int transfer(Direction direction, cl_command_queue q, cl_mem image, std::size_t width, std::size_t height,
                void* host, const char* failureMessage) {
  cl_int status = image ? CL_INVALID_COMMAND_QUEUE : CL_INVALID_MEM_OBJECT;
  if (image && q) {
    const std::size_t origin[3] = {0, 0, 0};
    const std::size_t region[3] = {width, height, 1};
    status = direction == Direction::kUpload
                 ? clEnqueueWriteImage(q, image, CL_TRUE, origin, region, 0, 0, host, 0, nullptr, nullptr)
                 : clEnqueueReadImage(q, image, CL_TRUE, origin, region, 0, 0, host, 0, nullptr, nullptr);
  }
  if (status != CL_SUCCESS) gpu_print(failureMessage, status);
  return status;
}

cl_int write_plane(cl_command_queue q, cl_mem image, std::size_t width, std::size_t height,
                   const std::uint8_t* src, const char* failureMessage) {
  // OpenCL only reads from the host pointer of an upload.
  return transfer(Direction::kUpload, q, image, width, height, const_cast<std::uint8_t*>(src), failureMessage);
}

void release(cl_mem& image) {
  if (image) clReleaseMemObject(image);
  image = nullptr;
}

std::size_t texels(int pixels, int per) { return static_cast<std::size_t>(pixels / per); }

}  // namespace

bool check_frame(const char* call, int w, int h, const void* const* planes, std::size_t planeCount) {
  bool ok = w >= 4 && w % 4 == 0 && h >= 2 && h % 2 == 0;
  for (std::size_t i = 0; i < planeCount; ++i) ok = ok && planes[i] != nullptr;
  if (!ok) gpu_print("Error @%s(bad frame %dx%d):%d\n", call, w, h, CL_INVALID_VALUE);
  return ok;
}

bool supports_image_format(cl_context context, cl_channel_order order, cl_channel_type type) {
  cl_uint count = 0;
  if (!context ||
      clGetSupportedImageFormats(context, CL_MEM_READ_WRITE, CL_MEM_OBJECT_IMAGE2D, 0, nullptr, &count) !=
          CL_SUCCESS)
    return false;
  std::vector<cl_image_format> formats(count);
  if (clGetSupportedImageFormats(context, CL_MEM_READ_WRITE, CL_MEM_OBJECT_IMAGE2D, count, formats.data(),
                                 nullptr) != CL_SUCCESS)
    return false;
  for (const cl_image_format& f : formats)
    if (f.image_channel_order == order && f.image_channel_data_type == type) return true;
  return false;
}

int createFrameImagesNV12(const DeviceContext& dc, int w, int h, Nv12Images& out, const FrameMessages& m) {
  out.y = create_image_2d(dc.context, CL_RGBA, texels(w, 4), texels(h, 1), m.createY);
  if (!out.y) return -1;
  out.uv = create_image_2d(dc.context, CL_RGBA, texels(w, 4), texels(h, 2), m.createUV);
  return out.uv ? 0 : -1;
}

int createFrameImagesI420(const DeviceContext& dc, int w, int h, I420Images& out, const FrameMessages& m) {
  out.y = create_image_2d(dc.context, CL_RGBA, texels(w, 4), texels(h, 1), m.createY);
  if (!out.y) return -1;
  // Same bytes either way: two chroma samples per RG texel, or one per R texel.
  const bool rg = supports_image_format(dc.context, CL_RG, CL_UNORM_INT8);
  const cl_channel_order order = rg ? CL_RG : CL_R;
  out.chromaTexels = rg ? texels(w, 4) : texels(w, 2);
  out.u = create_image_2d(dc.context, order, out.chromaTexels, texels(h, 2), m.createU);
  if (!out.u) return -1;
  out.v = create_image_2d(dc.context, order, out.chromaTexels, texels(h, 2), m.createV);
  return out.v ? 0 : -1;
}

int createFrameImageYUY2(const DeviceContext& dc, int w, int h, Yuy2Images& out, const FrameMessages& m) {
  out.packed = create_image_2d(dc.context, CL_RGBA, texels(w, 2), texels(h, 1), m.createYUY2);
  return out.packed ? 0 : -1;
}

void release_images(Nv12Images& images) {
  release(images.y);
  release(images.uv);
}

void release_images(I420Images& images) {
  release(images.y);
  release(images.u);
  release(images.v);
}

void release_images(Yuy2Images& images) { release(images.packed); }

cl_int writeFrameNV12(cl_command_queue q, const Nv12Images& im, int w, int h, const std::uint8_t* y,
                      const std::uint8_t* uv, const FrameMessages& m) {
  write_plane(q, im.y, texels(w, 4), texels(h, 1), y, m.writeY);
  return write_plane(q, im.uv, texels(w, 4), texels(h, 2), uv, m.writeUV);
}

cl_int writeFrameI420(cl_command_queue q, const I420Images& im, int w, int h, const std::uint8_t* y,
                      const std::uint8_t* u, const std::uint8_t* v, const FrameMessages& m) {
  write_plane(q, im.y, texels(w, 4), texels(h, 1), y, m.writeI420Y);
  write_plane(q, im.u, im.chromaTexels, texels(h, 2), u, m.writeI420U);
  return write_plane(q, im.v, im.chromaTexels, texels(h, 2), v, m.writeI420V);
}

cl_int writeFrameYUY2(cl_command_queue q, const Yuy2Images& im, int w, int h, const std::uint8_t* plane,
                      const FrameMessages& m) {
  return write_plane(q, im.packed, texels(w, 2), texels(h, 1), plane, m.writeYUY2);
}

cl_int readImage2D(cl_command_queue q, cl_mem image, std::size_t width, std::size_t height, std::uint8_t* dst) {
  return transfer(Direction::kDownload, q, image, width, height, dst, "Error @clEnqueueReadImage:%d\n");
}

cl_int readFrameNV12(cl_command_queue q, const Nv12Images& im, int w, int h, std::uint8_t* y, std::uint8_t* uv) {
  readImage2D(q, im.y, texels(w, 4), texels(h, 1), y);
  return readImage2D(q, im.uv, texels(w, 4), texels(h, 2), uv);
}

cl_int readFrameI420(cl_command_queue q, const I420Images& im, int w, int h, std::uint8_t* y, std::uint8_t* u,
                     std::uint8_t* v) {
  readImage2D(q, im.y, texels(w, 4), texels(h, 1), y);
  readImage2D(q, im.u, im.chromaTexels, texels(h, 2), u);
  return readImage2D(q, im.v, im.chromaTexels, texels(h, 2), v);
}

cl_int readFrameYUY2(cl_command_queue q, const Yuy2Images& im, int w, int h, std::uint8_t* plane) {
  return readImage2D(q, im.packed, texels(w, 2), texels(h, 1), plane);
}

}  // namespace gpurt
