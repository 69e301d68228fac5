// The version-1 keyer: parameters per key code, the one-shot similarity
// calibration on a half-size copy of a frame, and what that copy holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "gpu_runtime/frame_images.h"
#include "key_scene.h"
#include "keyer_direct.h"
#include "keyers/v1/ver1_cm.h"

using testframes::Backdrop;
using testframes::Frame;
using testframes::Layout;

namespace {

std::vector<float> results;
void record(float similar) { results.push_back(similar); }

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The similarity of the first evaluation a calibration printed.
float first_evaluated_similar(const std::string& printed) {
    const std::size_t at = printed.find("threadFunc: similar=");
    return at == std::string::npos ? -1.0f : std::strtof(printed.c_str() + at + 20, nullptr);
}

TEST(Ver1Parameters, PerKeyCodeConstants) {
    ver1_cm cm(0);
    cm.initOpenCL();
    ASSERT_EQ(cm.device_context().ready, 1);
    ver1_cm& k = cm;
    auto expect = [&](int key, float similar, float lower, float upper) {
        EXPECT_EQ(k.key_color(), key);
        EXPECT_FLOAT_EQ(k.similar(), similar);
        EXPECT_FLOAT_EQ(k.similar_lower(), lower);
        EXPECT_FLOAT_EQ(k.similar_upper(), upper);
        EXPECT_FLOAT_EQ(k.smooth(), 10.0f);
    };
    expect(2, 0.4f, 0.35f, 0.5f);
    cm.setKeyColor(1);
    expect(1, 0.2f, 0.1f, 0.3f);
    for (int ignored : {4, 0, -1}) {
        cm.setKeyColor(ignored);
        expect(1, 0.2f, 0.1f, 0.3f);
    }
    cm.setSimilar(0.45f);  // bounds stay
    expect(1, 0.45f, 0.1f, 0.3f);
    cm.setKeyColor(3);  // overwrites a similarity set before
    expect(3, 0.4f, 0.35f, 0.5f);
}

struct CalibrationCase {
    Backdrop backdrop;
    int keyColor;
    Layout layout;
};

class Calibration : public testing::TestWithParam<CalibrationCase> {};

// With a poor similarity the backdrop stays visible. A request calibrates on
// the next frame (which is still keyed with the old value), hands the result
// to the callback once, and the frames after it are keyed with that result.
// A second request starts again from the code's default.
TEST_P(Calibration, RunsOnceOnTheNextFrameAndImprovesTheFollowingOnes) {
    const CalibrationCase c = GetParam();
    const int w = 320, h = 240;
    const testframes::KeyScene scene = testframes::make_key_scene(w, h, c.backdrop, 11);
    const Frame cam = testframes::to_frame(scene.camera, c.layout),
                bg = testframes::to_frame(scene.background, c.layout);
    const Frame truth = testframes::to_frame(scene.truth, c.layout);
    ver1_cm cm(0);
    cm.initOpenCL();
    cm.setKeyColor(c.keyColor);
    ver1_cm& k = cm;
    const ver1_cm::KeyConstants defaults = ver1_cm::key_constants(c.keyColor);

    Frame poor = testframes::blank_frame(c.layout, w, h, 0), out = poor;
    cm.setSimilar(0.1f);
    testing::internal::CaptureStdout();
    key_frame(cm, cam, bg, poor);
    results.clear();
    cm.requestSimilarCalibration(nullptr);
    cm.requestSimilarCalibration(record);  // a second request only replaces the callback
    key_frame(cm, cam, bg, out);
    std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(out.planes, poor.planes);  // the calibrating frame used the old value
    ASSERT_EQ(results.size(), 1u) << printed;
    const float s = results[0];
    EXPECT_GE(s, defaults.lower);
    EXPECT_LE(s, defaults.upper);
    EXPECT_FLOAT_EQ(k.similar(), s);
    EXPECT_FLOAT_EQ(k.calibrated_similar(), s);
    EXPECT_FALSE(k.calibration_requested());
    EXPECT_EQ(count_of(printed, "==>> serach_Similar="), 1);
    EXPECT_FLOAT_EQ(first_evaluated_similar(printed), defaults.similar) << printed;
    EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;

    testing::internal::CaptureStdout();
    key_frame(cm, cam, bg, out);
    key_frame(cm, cam, bg, out);
    printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(printed.find("threadFunc"), std::string::npos);
    const double before = testframes::psnr(poor, truth), after = testframes::psnr(out, truth);
    std::printf("similarity 0.1: %.2f dB; calibrated %.3f: %.2f dB\n", before, s, after);
    EXPECT_GT(after, before + 10.0);
    EXPECT_GT(after, 33.0);

    cm.setSimilar(0.1f);
    cm.requestSimilarCalibration(record);
    testing::internal::CaptureStdout();
    key_frame(cm, cam, bg, out);
    printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(results.size(), 2u);
    EXPECT_FLOAT_EQ(first_evaluated_similar(printed), defaults.similar) << printed;
}

INSTANTIATE_TEST_SUITE_P(Scenes, Calibration,
                         testing::Values(CalibrationCase{Backdrop::kGreen, 2, Layout::kNV12},
                                         CalibrationCase{Backdrop::kBlue, 3, Layout::kYUY2}),
                         [](const auto& info) {
                             return std::string(info.param.backdrop == Backdrop::kGreen ? "green_"
                                                                                        : "blue_") +
                                    testframes::layout_name(info.param.layout);
                         });

TEST(Calibration, WaitsForAFrameItCanKey) {
    const testframes::KeyScene scene = testframes::make_key_scene(64, 32, Backdrop::kGreen, 3);
    ver1_cm cm(0);
    cm.initOpenCL();
    results.clear();
    cm.requestSimilarCalibration(record);  // before any frame
    Frame out = testframes::blank_frame(Layout::kI420, 64, 32, 0);
    key_frame(cm, testframes::to_frame(scene.camera, Layout::kI420),
              testframes::to_frame(scene.background, Layout::kI420), out);
    EXPECT_TRUE(results.empty());  // I420 frames are not keyed and keep the request
    EXPECT_TRUE(cm.calibration_requested());
    testing::internal::CaptureStdout();
    out = testframes::blank_frame(Layout::kNV12, 64, 32, 0);
    key_frame(cm, testframes::to_frame(scene.camera, Layout::kNV12),
              testframes::to_frame(scene.background, Layout::kNV12), out);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(results.size(), 1u);
}

// The working set is half the frame in each direction, also where the half
// width is not a whole number of texels or the half height is odd.
TEST(Calibration, WorksOnHalfSizeCopies) {
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{324, 242}}) {
        const testframes::KeyScene scene = testframes::make_key_scene(w, h, Backdrop::kGreen, 5);
        ver1_cm cm(0);
        cm.initOpenCL();
        results.clear();
        cm.requestSimilarCalibration(record);
        Frame out = testframes::blank_frame(Layout::kNV12, w, h, 0);
        testing::internal::CaptureStdout();
        key_frame(cm, testframes::to_frame(scene.camera, Layout::kNV12),
                  testframes::to_frame(scene.background, Layout::kNV12), out);
        const std::string printed = testing::internal::GetCapturedStdout();
        const std::string size =
            "w=" + std::to_string(w / 2) + " h=" + std::to_string(h / 2) + "\n";
        EXPECT_NE(printed.find("init1:" + size), std::string::npos) << printed.substr(0, 200);
        EXPECT_NE(printed.find("init2:" + size), std::string::npos);
        EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;
        const ver1_cm::CalibrationSet& set = cm.calibration_set();
        EXPECT_EQ(set.alphaArray.size(), static_cast<std::size_t>(w / 2) * (h / 2));
        ASSERT_EQ(results.size(), 1u);
        EXPECT_GE(results[0], 0.35f);
        EXPECT_LE(results[0], 0.5f);
    }
}

// Reads the half-size copy back and compares it with 2:1 means of the camera
// frame computed here.
TEST(Calibration, HalfSizeCopyHoldsTheMeansOfTheFrame) {
    const int w = 328, h = 244, hw = w / 2, hh = h / 2;  // half width not a multiple of 4
    const testframes::KeyScene scene = testframes::make_key_scene(w, h, Backdrop::kGreen, 6);
    for (Layout layout : {Layout::kNV12, Layout::kYUY2}) {
        const Frame cam = testframes::to_frame(scene.camera, layout);
        ver1_cm cm(0);
        cm.initOpenCL();
        cm.requestSimilarCalibration(nullptr);
        Frame out = testframes::blank_frame(layout, w, h, 0);
        testing::internal::CaptureStdout();
        key_frame(cm, cam, testframes::to_frame(scene.background, layout), out);
        testing::internal::GetCapturedStdout();
        const ver1_cm& k = cm;
        const ver1_cm::CalibrationSet& set = k.calibration_set();
        const int iw = (hw + 3) / 4 * 4, ih = (hh + 1) / 2 * 2;
        cl_command_queue q = k.device_context().queues[1];
        int worst = 0;
        if (layout == Layout::kNV12) {
            std::vector<std::uint8_t> y(static_cast<std::size_t>(iw) * ih),
                uv(static_cast<std::size_t>(iw) * ih / 2);
            ASSERT_EQ(gpurt::readImage2D(q, set.half.plane(0), iw / 4, ih, y.data()), CL_SUCCESS);
            ASSERT_EQ(gpurt::readImage2D(q, set.half.plane(1), iw / 4, ih / 2, uv.data()),
                      CL_SUCCESS);
            const auto& Y = cam.planes[0];
            const auto& UV = cam.planes[1];
            for (int r = 0; r < hh; ++r)
                for (int x = 0; x < hw; ++x) {
                    const int mean = (Y[2 * r * w + 2 * x] + Y[2 * r * w + 2 * x + 1] +
                                      Y[(2 * r + 1) * w + 2 * x] + Y[(2 * r + 1) * w + 2 * x + 1]) /
                                     4;
                    worst =
                        std::max(worst, std::abs(y[static_cast<std::size_t>(r) * iw + x] - mean));
                }
            for (int r = 0; r < hh / 2; ++r)
                for (int x = 0; x < hw / 2; ++x)
                    for (int c = 0; c < 2; ++c) {
                        const int mean =
                            (UV[2 * r * w + 4 * x + c] + UV[2 * r * w + 4 * x + 2 + c] +
                             UV[(2 * r + 1) * w + 4 * x + c] +
                             UV[(2 * r + 1) * w + 4 * x + 2 + c]) /
                            4;
                        worst = std::max(
                            worst,
                            std::abs(uv[static_cast<std::size_t>(r) * iw + 2 * x + c] - mean));
                    }
        } else {
            std::vector<std::uint8_t> p(static_cast<std::size_t>(iw) * 2 * ih);
            ASSERT_EQ(gpurt::readImage2D(q, set.halfYuy2.plane(0), iw / 2, ih, p.data()),
                      CL_SUCCESS);
            const auto& P = cam.planes[0];
            auto at = [&](int x, int y) {
                return static_cast<int>(P[static_cast<std::size_t>(y) * 2 * w + x]);
            };
            for (int r = 0; r < hh; ++r)
                for (int x = 0; x < hw; ++x) {
                    // Luma: bytes 0 and 2 of each camera pixel pair; half pixel x covers camera
                    // pixels 2x, 2x+1.
                    const int mean = (at(4 * x, 2 * r) + at(4 * x + 2, 2 * r) +
                                      at(4 * x, 2 * r + 1) + at(4 * x + 2, 2 * r + 1)) /
                                     4;
                    worst = std::max(
                        worst, std::abs(p[static_cast<std::size_t>(r) * iw * 2 + 2 * x] - mean));
                }
        }
        EXPECT_LE(worst, 1) << testframes::layout_name(layout);
    }
}

// The error sums respond to the similarity as the search needs: too small a
// similarity keeps backdrop, too large a one removes the subject.
TEST(Calibration, ErrorSumsFollowTheMatte) {
    const testframes::KeyScene scene = testframes::make_key_scene(320, 240, Backdrop::kGreen, 8);
    ver1_cm cm(0);
    cm.initOpenCL();
    cm.requestSimilarCalibration(nullptr);
    Frame out = testframes::blank_frame(Layout::kNV12, 320, 240, 0);
    testing::internal::CaptureStdout();
    key_frame(cm, testframes::to_frame(scene.camera, Layout::kNV12),
              testframes::to_frame(scene.background, Layout::kNV12), out);
    float low[5], good[5], high[5];
    ver1_cm& k = cm;
    k.evaluateSimilarity(0.05f, 10.0f, low);
    k.evaluateSimilarity(0.4f, 10.0f, good);
    k.evaluateSimilarity(0.95f, 10.0f, high);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("threadFunc: similar=0.400000, smooth=10.000000, err="),
              std::string::npos);
    const float pixels = 160.0f * 120.0f;
    EXPECT_GT(low[2], 0.3f * pixels);  // backdrop kept
    EXPECT_LT(good[2], 0.02f * pixels);
    EXPECT_GT(high[3], 0.1f * pixels);  // subject removed
    EXPECT_LT(good[3], 0.01f * pixels);
    for (const float* e : {low, good, high}) {
        EXPECT_LE(e[1], e[0]);  // leftover alpha counts only soft pixels
        EXPECT_LE(e[4], e[0]);
    }
}

// Layouts of one size each keep their own images.
TEST(Ver1Frames, LayoutsAlternateAtOneSize) {
    const testframes::KeyScene scene = testframes::make_key_scene(160, 120, Backdrop::kGreen, 2);
    ver1_cm cm(0);
    cm.initOpenCL();
    for (int round = 0; round < 2; ++round)
        for (Layout layout : {Layout::kNV12, Layout::kYUY2}) {
            Frame out = testframes::blank_frame(layout, 160, 120, 0);
            testing::internal::CaptureStdout();
            key_frame(cm, testframes::to_frame(scene.camera, layout),
                      testframes::to_frame(scene.background, layout), out);
            const std::string printed = testing::internal::GetCapturedStdout();
            EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;
            EXPECT_GT(testframes::psnr(out, testframes::to_frame(scene.truth, layout)), 30.0);
        }
}

// Key and matte run on (w/4, h), the blend on (w/4, h/2); the work-group
// sizes chosen for them stay cached across a size change.
TEST(Ver1Frames, LaunchGridsAndTheirCachedGroupSizes) {
    ver1_cm cm(0);
    cm.initOpenCL();
    const gpurt::LocalSizeCache& cache = cm.device_context().localSizes;
    for (auto [w, h, entries] :
         {std::tuple{1280, 720, 2u}, std::tuple{640, 480, 4u}, std::tuple{1280, 720, 4u}}) {
        const Frame blank = testframes::blank_frame(Layout::kNV12, w, h, 128);
        Frame out = blank;
        testing::internal::CaptureStdout();
        key_frame(cm, blank, blank, out);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(cache.size(), entries) << w << "x" << h;
    }
}

}  // namespace
