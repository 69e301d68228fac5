// The version-1 keyer: closeness of each pixel's chroma to the key colour,
// a matte under one similarity threshold, blend; on request the threshold
// is calibrated once on the next frame by a bounded least-squares search
// over a half-size copy of it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "calibration/similarity_search.h"
#include "gpu_runtime/cl_handle.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"
#include "gpu_runtime/frame_pass.h"
#include "keyers/base_cm.h"

class ver1_cm : public base_cm, public cmatte::SimilarityEvaluator {
public:
    // Kernels in creation order.
    enum Kernel {
        kNv12Distance,
        kYuy2Distance,
        kGaussBlur,
        kNv12Blend,
        kYuy2Blend,
        kNv12SubSample,
        kYuy2SubSample,
        kNv12Stat,
        kYuy2Stat,
        kKernelCount
    };
    enum Layout { kNv12 = 0, kYuy2 = 1 };

    // Similarity, its calibration bounds and the matte's smoothness for a key code.
    struct KeyConstants {
        float similar, lower, upper, smooth;
    };
    static KeyConstants key_constants(int keyColor);

    // The half-size copy of the frame being calibrated and what its
    // evaluations read back. Sizes of the images are rounded up to whole
    // texels; evaluations count the width x height positions.
    struct CalibrationSet {
        int width = 0, height = 0;
        gpurt::FrameImages half;  // NV12
        gpurt::MemObject hsv;
        gpurt::FrameImages halfYuy2;
        gpurt::MemObject alpha, matte, stats;
        std::vector<unsigned char> alphaArray, statArray;
    };

    explicit ver1_cm(int gpuPriority);

    int initOpenCL() override;
    void setKeyColor(int code) override;
    void setSimilar(float similar) override { mSimilar = similar; }
    void requestSimilarCalibration(void (*callback)(float)) override;
    void setCoffThres(float) override {}
    void runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                 const unsigned char* bgY, const unsigned char* bgUV, unsigned char* outY,
                 unsigned char* outUV) override;
    void runI420(int, int, const unsigned char*, const unsigned char*, const unsigned char*,
                 const unsigned char*, const unsigned char*, const unsigned char*, unsigned char*,
                 unsigned char*, unsigned char*) override {}
    void runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                 unsigned char* out) override;

    // Error sums of the calibration frame's matte at one similarity (e0 .. e4).
    void evaluateSimilarity(float similar, float smooth, float e[5]) override;

    const gpurt::DeviceContext& device_context() const { return mDc; }
    int key_color() const { return mKeyColor; }
    float similar() const { return mSimilar; }
    float similar_lower() const { return mSimilarLower; }
    float similar_upper() const { return mSimilarUpper; }
    float smooth() const { return mSmooth; }
    bool calibration_requested() const { return mCalibRequest != 0; }
    float calibrated_similar() const { return mCalibratedSimilar; }
    const CalibrationSet& calibration_set() const { return mCalib; }

private:
    // Both layouts' frame: size check, images, upload, passes, read-back, calibration.
    void run(gpurt::FrameLayout layout, int w, int h, const std::uint8_t* const cam[],
             const std::uint8_t* const bg[], std::uint8_t* const out[]);
    void prepare_frame(gpurt::FrameLayout layout, int w, int h);
    void create_calibration_set(int w, int h);
    cl_command_queue queue_a() const { return mDc.queues[0]; }
    cl_command_queue queue_b() const { return mDc.queues[1]; }
    void calibrate(gpurt::FrameLayout layout, int w, int h);

    gpurt::DeviceContext mDc;
    int mFrameW = 0, mFrameH = 0;
    int mKeyColor = 2;
    int mCalibRequest = 0;
    Layout mCalibLayout = kNv12;
    float mCalibratedSimilar = 0.0f;
    float mSimilar = 0.4f, mSimilarLower = 0.35f, mSimilarUpper = 0.5f, mSmooth = 10.0f;
    void (*mCallback)(float) = nullptr;
    std::array<gpurt::FrameSet<3>, 3>
        mFrames;                      // camera, background, output; in FrameLayout order (no I420)
    gpurt::MemObject mAlpha, mMatte;  // closeness and matte of the frame
    CalibrationSet mCalib;
};
