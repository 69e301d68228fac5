// Frame layouts as OpenCL images: NV12, I420 and YUY2 planes map byte for byte
// onto RGBA/UNORM_INT8 images (four bytes per texel), I420 chroma onto RG
// images, or R images of twice the width where the device lacks RG.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gpu_runtime/cl_api.h"

namespace gpurt {

class DeviceContext;

// The texts each library prints for its image creations and uploads.
struct FrameMessages {
  const char* createY;
  const char* createUV;  // NV12 chroma
  const char* createU;   // I420
  const char* createV;
  const char* createYUY2;
  const char* writeY;  // NV12
  const char* writeUV;
  const char* writeI420Y;
  const char* writeI420U;
  const char* writeI420V;
  const char* writeYUY2;
};

// The texts both libraries print.
const FrameMessages& standard_frame_messages();

struct Nv12Images {
  cl_mem y = nullptr;
  cl_mem uv = nullptr;
};

struct I420Images {
  cl_mem y = nullptr;
  cl_mem u = nullptr;
  cl_mem v = nullptr;
  std::size_t chromaTexels = 0;  // texels per chroma row: w/4 (RG) or w/2 (R)
};

struct Yuy2Images {
  cl_mem packed = nullptr;
};

// A frame is usable when every plane exists, the width is a positive multiple
// of 4 and the height a positive multiple of 2. Otherwise prints one line,
// "Error @<call>(bad frame WxH):-30", and returns false.
bool check_frame(const char* call, int w, int h, const void* const* planes, std::size_t planeCount);

// Creation: 0, or -1 after printing; handles whose creation failed stay empty.
int createFrameImagesNV12(const DeviceContext& dc, int w, int h, Nv12Images& out, const FrameMessages& m);
int createFrameImagesI420(const DeviceContext& dc, int w, int h, I420Images& out, const FrameMessages& m);
int createFrameImageYUY2(const DeviceContext& dc, int w, int h, Yuy2Images& out, const FrameMessages& m);

void release_images(Nv12Images& images);
void release_images(I420Images& images);
void release_images(Yuy2Images& images);

// Blocking uploads of whole packed planes; the status of the last call, after
// printing each failing one. An empty handle counts as CL_INVALID_MEM_OBJECT
// and is never passed to OpenCL.
cl_int writeFrameNV12(cl_command_queue q, const Nv12Images& im, int w, int h, const std::uint8_t* y,
                      const std::uint8_t* uv, const FrameMessages& m);
cl_int writeFrameI420(cl_command_queue q, const I420Images& im, int w, int h, const std::uint8_t* y,
                      const std::uint8_t* u, const std::uint8_t* v, const FrameMessages& m);
cl_int writeFrameYUY2(cl_command_queue q, const Yuy2Images& im, int w, int h, const std::uint8_t* plane,
                      const FrameMessages& m);

// Blocking read of a region in texels into packed rows;
// prints "Error @clEnqueueReadImage:%d\n" on failure.
cl_int readImage2D(cl_command_queue q, cl_mem image, std::size_t width, std::size_t height, std::uint8_t* dst);

// The read-backs matching the uploads above.
cl_int readFrameNV12(cl_command_queue q, const Nv12Images& im, int w, int h, std::uint8_t* y, std::uint8_t* uv);
cl_int readFrameI420(cl_command_queue q, const I420Images& im, int w, int h, std::uint8_t* y, std::uint8_t* u,
                     std::uint8_t* v);
cl_int readFrameYUY2(cl_command_queue q, const Yuy2Images& im, int w, int h, std::uint8_t* plane);

// Whether the context can make 2D images of this format.
bool supports_image_format(cl_context context, cl_channel_order order, cl_channel_type type);

}  // namespace gpurt
