// Frame layouts as OpenCL images: NV12, I420 and YUY2 planes map byte for byte
// onto RGBA/UNORM_INT8 images (four bytes per texel), I420 chroma onto RG
// images, or R images of twice the width where the device lacks RG.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "gpu_runtime/cl_api.h"
#include "gpu_runtime/cl_handle.h"

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

enum class FrameLayout { kNv12, kI420, kYuy2 };

// Host planes of a layout: NV12 Y, UV; I420 Y, U, V; YUY2 one packed plane.
int plane_count(FrameLayout layout);

// How kernels use a frame's images.
enum class FrameAccess {
    kReadWrite,
    // Kernels only read it: where the device lacks RG images, I420 chroma rows
    // of a whole number of RGBA texels are read as RGBA, two pairs per read.
    kKernelReads,
    // Kernels take a buffer copy of each plane, packed as the host plane: on
    // CPU devices image reads and writes are software calls that cost more
    // than the work per pixel. The images stay what uploads and read-backs
    // use; each upload also copies the image into its buffer and each
    // read-back copies the buffer into the image first.
    kKernelBuffers,
};

// The images of one frame. Planes are created in host-plane order.
class FrameImages {
public:
    static constexpr int kMaxPlanes = 3;

    // Creates the planes of a w x h frame, stopping at the first failure;
    // 0, or -1 after printing (planes that failed stay empty).
    int create(const DeviceContext& dc, FrameLayout layout, int w, int h, const FrameMessages& m,
               FrameAccess access = FrameAccess::kReadWrite);

    FrameLayout layout() const { return mLayout; }
    int plane_count() const { return gpurt::plane_count(mLayout); }
    cl_mem plane(int i) const { return mPlanes[i]; }
    // What kernels take for plane i: its buffer copy (kKernelBuffers) or the image.
    cl_mem kernel_plane(int i) const {
        return mAccess == FrameAccess::kKernelBuffers ? mBuffers[i] : mPlanes[i];
    }
    // Region of plane i in texels: whole rows of the host plane.
    std::size_t texel_width(int i) const;
    std::size_t rows(int i) const;
    // Bytes of host plane i.
    std::size_t plane_bytes(int i) const;

    // Blocking transfers of whole packed planes; the status of the call, after
    // printing a failure. An empty handle counts as CL_INVALID_MEM_OBJECT and
    // is never passed to OpenCL.
    cl_int upload_plane(cl_command_queue q, int i, const std::uint8_t* host,
                        const FrameMessages& m) const;
    cl_int read_plane(cl_command_queue q, int i, std::uint8_t* host) const;
    // Every plane in order; the status of the last.
    cl_int upload(cl_command_queue q, const std::uint8_t* const host[],
                  const FrameMessages& m) const;
    cl_int read_back(cl_command_queue q, std::uint8_t* const host[]) const;

private:
    FrameLayout mLayout = FrameLayout::kNv12;
    int mW = 0, mH = 0;
    std::size_t mChromaTexels = 0;  // I420: texels per chroma row, w/4 (RG), w/8 (RGBA) or w/2 (R)
    FrameAccess mAccess = FrameAccess::kReadWrite;
    MemObject mPlanes[kMaxPlanes];
    MemObject mBuffers[kMaxPlanes];  // kKernelBuffers only
};

// The frames of one layout that a processing object keeps (a grading
// object's source and destination, a keyer's camera, background and output),
// made together for one frame size.
template <std::size_t N>
class FrameSet {
public:
    static constexpr int kUnchanged = -1;

    // When the layout or size differs from the last call: releases the frames
    // and creates them again in order, stopping at the first failure. Returns
    // kUnchanged, the index of the frame whose creation failed, or N.
    int ensure(const DeviceContext& dc, FrameLayout layout, int w, int h, const FrameMessages& m,
               FrameAccess access = FrameAccess::kReadWrite) {
        if (layout == mLayout && w == mW && h == mH) return kUnchanged;
        mLayout = layout;
        mW = w;
        mH = h;
        for (FrameImages& frame : mFrames) frame = FrameImages{};
        for (std::size_t i = 0; i < N; ++i)
            if (mFrames[i].create(dc, layout, w, h, m, access) != 0) return static_cast<int>(i);
        return static_cast<int>(N);
    }

    FrameImages& operator[](std::size_t i) { return mFrames[i]; }
    const FrameImages& operator[](std::size_t i) const { return mFrames[i]; }

private:
    FrameLayout mLayout = FrameLayout::kNv12;
    int mW = 0, mH = 0;
    std::array<FrameImages, N> mFrames;
};

// A frame is usable when every plane exists, the width is a positive multiple
// of 4 and the height a positive multiple of 2. Otherwise prints one line,
// "Error @<call>(bad frame WxH):-30", and returns false.
bool check_frame(const char* call, int w, int h, const void* const* planes, std::size_t planeCount);
// The same for several frames of one layout, each given as its host planes.
bool check_frames(const char* call, FrameLayout layout, int w, int h,
                  std::initializer_list<const std::uint8_t* const*> frames);

// Blocking read of a region in texels into packed rows;
// prints "Error @clEnqueueReadImage:%d\n" on failure.
cl_int readImage2D(cl_command_queue q, cl_mem image, std::size_t width, std::size_t height,
                   std::uint8_t* dst);

// Whether the context can make 2D images of this format.
bool supports_image_format(cl_context context, cl_channel_order order, cl_channel_type type);

}  // namespace gpurt
