// The version-2 keyer: key channel in CIE L*a*b*, automatic Otsu threshold
// steadied over frames, guided-filter matte at quarter resolution, blend.
#pragma once

#include <array>
#include <cstdint>

#include "gpu_runtime/cl_handle.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"
#include "keyers/base_cm.h"
#include "keyers/v2/key_threshold.h"
#include "keyers/v2/ver2_geometry.h"
#include "keyers/v2/ver2_passes.h"

class ver2_cm : public base_cm {
public:
    static constexpr int kTableSize = 512;

    // Frame-size working planes and histogram buffers of one layout.
    struct WorkingSet {
        gpurt::MemObject K, S, M, A8, half, quarter, Af;
        gpurt::MemObject near;  // the matte's surroundings (spill range)
        gpurt::MemObject histRows, histTotal;
    };
    // Camera, background and output frames of one layout, and its working set.
    struct LayoutSet {
        gpurt::FrameSet<3> frames;
        WorkingSet work;
    };

    explicit ver2_cm(int gpuPriority);

    int initOpenCL() override;
    void setKeyColor(int code) override { mKeyColor = code; }
    void setSimilar(float) override {}
    void requestSimilarCalibration(void (*)(float)) override {}
    void setCoffThres(float coff) override { mCoffThres = coff; }
    cmatte::Refinements* refinements() override { return &mRefine; }
    void runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                 const unsigned char* bgY, const unsigned char* bgUV, unsigned char* outY,
                 unsigned char* outUV) override;
    void runI420(int w, int h, const unsigned char* camY, const unsigned char* camU,
                 const unsigned char* camV, const unsigned char* bgY, const unsigned char* bgU,
                 const unsigned char* bgV, unsigned char* outY, unsigned char* outU,
                 unsigned char* outV) override;
    void runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                 unsigned char* out) override;

    const gpurt::DeviceContext& device_context() const { return mDc; }
    int key_color() const { return mKeyColor; }
    float coff_thres() const { return mCoffThres; }
    const cmatte::ThresholdHistory& threshold_history() const { return mHistory; }
    const std::array<std::uint32_t, 256>& last_histogram() const { return mHistogram; }
    int last_threshold() const { return mLastThreshold; }
    int last_clear_threshold() const { return mLastClear; }
    const LayoutSet& nv12_set() const { return mLayouts[0]; }
    cl_command_queue queue() const { return mDc.queues[0]; }

private:
    // Every layout's frame: size check, images, upload, passes, read-back.
    void run(gpurt::FrameLayout layout, int w, int h, const std::uint8_t* const cam[],
             const std::uint8_t* const bg[], std::uint8_t* const out[]);
    void prepare_frame(gpurt::FrameLayout layout, int w, int h);
    void create_quarter_planes(const cmatte::Ver2Geometry& g);
    void create_working_set(WorkingSet& work, int w, int h);
    int keyHistogramThreshold(gpurt::Launcher& launcher, WorkingSet& work, int w, int h);

    gpurt::DeviceContext mDc;
    float mLinearisation[kTableSize] = {};
    float mLab[kTableSize] = {};
    gpurt::MemObject mLinImage, mLabImage;
    float mCoffThres = 1.0f;
    int mKeyColor = 0;
    int mFrameW = 0, mFrameH = 0;
    cmatte::Ver2Geometry mGeometry{};
    cmatte::ThresholdHistory mHistory;
    gpurt::MemObject mQuarter[cmatte::Quarter::kCount];
    gpurt::MemObject mBackdrop[4];  // local backdrop colour sums Y, Cb, Cr, count
    gpurt::MemObject Ga_, Gb_;      // per object, so objects of different frame sizes can alternate
    std::array<LayoutSet, 3> mLayouts;  // in FrameLayout order
    std::array<std::uint32_t, 256> mHistogram{};
    int mLastThreshold = 0;
    int mLastClear = 0;
    cmatte::Refinements mRefine;
};
