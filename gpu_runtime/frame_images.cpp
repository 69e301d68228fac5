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

cl_mem create_image_2d(cl_context context, cl_channel_order order, std::size_t width,
                       std::size_t height, const char* failureMessage) {
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

cl_int transfer(Direction direction, cl_command_queue q, cl_mem image, std::size_t width,
                std::size_t height, void* host, const char* failureMessage) {
    cl_int status = image ? CL_INVALID_COMMAND_QUEUE : CL_INVALID_MEM_OBJECT;
    if (image && q) {
        const std::size_t origin[3] = {0, 0, 0};
        const std::size_t region[3] = {width, height, 1};
        status = direction == Direction::kUpload
                     ? clEnqueueWriteImage(q, image, CL_TRUE, origin, region, 0, 0, host, 0,
                                           nullptr, nullptr)
                     : clEnqueueReadImage(q, image, CL_TRUE, origin, region, 0, 0, host, 0, nullptr,
                                          nullptr);
    }
    if (status != CL_SUCCESS) gpu_print(failureMessage, status);
    return status;
}

std::size_t texels(int pixels, int per) { return static_cast<std::size_t>(pixels / per); }

// Image <-> its buffer copy, whole region, on the in-order queue.
cl_int copy(Direction direction, cl_command_queue q, cl_mem image, cl_mem buffer, std::size_t width,
            std::size_t height) {
    const std::size_t origin[3] = {0, 0, 0};
    const std::size_t region[3] = {width, height, 1};
    return direction == Direction::kUpload
               ? clEnqueueCopyImageToBuffer(q, image, buffer, origin, region, 0, 0, nullptr,
                                            nullptr)
               : clEnqueueCopyBufferToImage(q, buffer, image, 0, origin, region, 0, nullptr,
                                            nullptr);
}

}  // namespace

bool check_frame(const char* call, int w, int h, const void* const* planes,
                 std::size_t planeCount) {
    bool ok = w >= 4 && w % 4 == 0 && h >= 2 && h % 2 == 0;
    for (std::size_t i = 0; i < planeCount; ++i) ok = ok && planes[i] != nullptr;
    if (!ok) gpu_print("Error @%s(bad frame %dx%d):%d\n", call, w, h, CL_INVALID_VALUE);
    return ok;
}

bool check_frames(const char* call, FrameLayout layout, int w, int h,
                  std::initializer_list<const std::uint8_t* const*> frames) {
    std::vector<const void*> planes;
    for (const std::uint8_t* const* frame : frames)
        for (int i = 0; i < plane_count(layout); ++i) planes.push_back(frame[i]);
    return check_frame(call, w, h, planes.data(), planes.size());
}

bool supports_image_format(cl_context context, cl_channel_order order, cl_channel_type type) {
    cl_uint count = 0;
    if (!context || clGetSupportedImageFormats(context, CL_MEM_READ_WRITE, CL_MEM_OBJECT_IMAGE2D, 0,
                                               nullptr, &count) != CL_SUCCESS)
        return false;
    std::vector<cl_image_format> formats(count);
    if (clGetSupportedImageFormats(context, CL_MEM_READ_WRITE, CL_MEM_OBJECT_IMAGE2D, count,
                                   formats.data(), nullptr) != CL_SUCCESS)
        return false;
    for (const cl_image_format& f : formats)
        if (f.image_channel_order == order && f.image_channel_data_type == type) return true;
    return false;
}

int plane_count(FrameLayout layout) {
    switch (layout) {
        case FrameLayout::kNv12:
            return 2;
        case FrameLayout::kI420:
            return 3;
        case FrameLayout::kYuy2:
            break;
    }
    return 1;
}

namespace {

// Per plane, in host-plane order: its creation and upload texts.
struct PlaneTexts {
    const char* create;
    const char* write;
};

PlaneTexts plane_texts(FrameLayout layout, int i, const FrameMessages& m) {
    switch (layout) {
        case FrameLayout::kNv12:
            return i == 0 ? PlaneTexts{m.createY, m.writeY} : PlaneTexts{m.createUV, m.writeUV};
        case FrameLayout::kI420: {
            const PlaneTexts texts[] = {
                {m.createY, m.writeI420Y}, {m.createU, m.writeI420U}, {m.createV, m.writeI420V}};
            return texts[i];
        }
        case FrameLayout::kYuy2:
            break;
    }
    return {m.createYUY2, m.writeYUY2};
}

}  // namespace

std::size_t FrameImages::texel_width(int i) const {
    if (mLayout == FrameLayout::kYuy2) return texels(mW, 2);
    return mLayout == FrameLayout::kI420 && i > 0 ? mChromaTexels : texels(mW, 4);
}

std::size_t FrameImages::rows(int i) const { return texels(mH, i == 0 ? 1 : 2); }

int FrameImages::create(const DeviceContext& dc, FrameLayout layout, int w, int h,
                        const FrameMessages& m, FrameAccess access) {
    *this = FrameImages{};
    mLayout = layout;
    mW = w;
    mH = h;
    mAccess = access;
    cl_channel_order chroma = CL_RGBA;
    if (layout == FrameLayout::kI420) {
        // Same bytes every way: two chroma samples per RG texel, four per RGBA
        // texel (two work-items' pairs, so only for frames kernels just read),
        // or one per R texel.
        if (supports_image_format(dc.context, CL_RG, CL_UNORM_INT8)) {
            chroma = CL_RG;
            mChromaTexels = texels(w, 4);
        } else if (access == FrameAccess::kKernelReads && w % 8 == 0) {
            chroma = CL_RGBA;
            mChromaTexels = texels(w, 8);
        } else {
            chroma = CL_R;
            mChromaTexels = texels(w, 2);
        }
    }
    for (int i = 0; i < plane_count(); ++i) {
        const char* failed = plane_texts(layout, i, m).create;
        mPlanes[i].reset(create_image_2d(dc.context, i == 0 ? CL_RGBA : chroma, texel_width(i),
                                         rows(i), failed));
        if (!mPlanes[i]) return -1;
        if (access != FrameAccess::kKernelBuffers) continue;
        // A plane without its buffer is a plane that failed.
        cl_int status = CL_SUCCESS;
        mBuffers[i].reset(
            clCreateBuffer(dc.context, CL_MEM_READ_WRITE, plane_bytes(i), nullptr, &status));
        if (status != CL_SUCCESS) {
            gpu_print(failed, status);
            mBuffers[i].reset();
            mPlanes[i].reset();
            return -1;
        }
    }
    return 0;
}

std::size_t FrameImages::plane_bytes(int i) const {
    const std::size_t w = static_cast<std::size_t>(mW);
    if (mLayout == FrameLayout::kYuy2) return 2 * w * rows(i);
    return (mLayout == FrameLayout::kI420 && i > 0 ? w / 2 : w) * rows(i);
}

cl_int FrameImages::upload_plane(cl_command_queue q, int i, const std::uint8_t* host,
                                 const FrameMessages& m) const {
    // OpenCL only reads from the host pointer of an upload.
    const char* failed = plane_texts(mLayout, i, m).write;
    cl_int status = transfer(Direction::kUpload, q, mPlanes[i], texel_width(i), rows(i),
                             const_cast<std::uint8_t*>(host), failed);
    if (status != CL_SUCCESS || mAccess != FrameAccess::kKernelBuffers) return status;
    status = copy(Direction::kUpload, q, mPlanes[i], mBuffers[i], texel_width(i), rows(i));
    if (status != CL_SUCCESS) gpu_print(failed, status);
    return status;
}

cl_int FrameImages::read_plane(cl_command_queue q, int i, std::uint8_t* host) const {
    if (mAccess == FrameAccess::kKernelBuffers && mPlanes[i] && q) {
        const cl_int status =
            copy(Direction::kDownload, q, mPlanes[i], mBuffers[i], texel_width(i), rows(i));
        if (status != CL_SUCCESS) {
            gpu_print("Error @clEnqueueReadImage:%d\n", status);
            return status;
        }
    }
    return readImage2D(q, mPlanes[i], texel_width(i), rows(i), host);
}

cl_int FrameImages::upload(cl_command_queue q, const std::uint8_t* const host[],
                           const FrameMessages& m) const {
    cl_int status = CL_SUCCESS;
    for (int i = 0; i < plane_count(); ++i) status = upload_plane(q, i, host[i], m);
    return status;
}

cl_int FrameImages::read_back(cl_command_queue q, std::uint8_t* const host[]) const {
    cl_int status = CL_SUCCESS;
    for (int i = 0; i < plane_count(); ++i) status = read_plane(q, i, host[i]);
    return status;
}

cl_int readImage2D(cl_command_queue q, cl_mem image, std::size_t width, std::size_t height,
                   std::uint8_t* dst) {
    return transfer(Direction::kDownload, q, image, width, height, dst,
                    "Error @clEnqueueReadImage:%d\n");
}

}  // namespace gpurt
