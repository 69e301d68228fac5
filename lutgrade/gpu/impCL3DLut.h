// OpenCL implementation of base_lut: one device context, the colour table on
// the device, and per-layout frame images re-created when the frame size changes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gpu/base_lut.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"
#include "gpu_runtime/frame_pass.h"

class impCL3DLut : public base_lut {
public:
    // Kernel handles, in creation order.
    enum Kernel { kNV12 = 0, kYUY2 = 1, kI420 = 2 };
    static constexpr int kMinEdge = 2;
    static constexpr int kMaxEdge = 256;

    explicit impCL3DLut(int gpuPriority);

    int initOpenCL() override;
    int setLutImage(int n, const float* table) override;
    void setStrength(float strength) override;
    void runNV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV,
                 unsigned char* dstY, unsigned char* dstUV) override;
    void runI420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                 const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU,
                 unsigned char* dstV) override;
    void runYUY2(int w, int h, const unsigned char* src, unsigned char* dst) override;

    // Whether a table of edge n is accepted (range and device memory).
    bool table_edge_supported(int n) const;

    const gpurt::DeviceContext& device_context() const { return mDc; }
    int table_edge() const { return mTableEdge; }
    cl_mem table() const { return mTable; }
    // Source and destination frames of a layout.
    const gpurt::FrameSet<2>& frames(gpurt::FrameLayout layout) const {
        return mFrames[static_cast<int>(layout)];
    }

private:
    // Every layout's frame: size check, images, upload, grading, read-back.
    // Writes the loaded table, blended by the strength, to the device.
    cl_int upload_table();
    void run(gpurt::FrameLayout layout, int w, int h, const std::uint8_t* const src[],
             std::uint8_t* const dst[]);
    cl_command_queue queue() const { return mDc.queues[0]; }

    gpurt::DeviceContext mDc;
    int mTableEdge = 0;
    gpurt::MemObject mTable;
    std::vector<float> mLoaded;  // the table as loaded, before the strength
    float mStrength = 1.0f;
    bool mStrengthChanged = false;
    // Source and destination frames per layout, each with its own frame size.
    std::array<gpurt::FrameSet<2>, 3> mFrames;
};

namespace lutgrade {

// The grading launch of a w x h frame in a layout.
gpurt::Pass grade_pass(gpurt::FrameLayout layout, const gpurt::FrameImages& src, cl_mem table,
                       int edge, const gpurt::FrameImages& dst, int w, int h);

}  // namespace lutgrade
