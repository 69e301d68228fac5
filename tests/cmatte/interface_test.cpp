// The exported ColorMatting: layout, versions, forwarding, refused calls.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <typeinfo>
#include <vector>

#include "cmatte/ColorMatting.h"
#include "key_scene.h"
#include "keyer_run.h"
#include "keyers/v1/ver1_cm.h"
#include "keyers/v2/ver2_cm.h"

using testframes::Frame;
using testframes::Layout;

namespace {

// The keyer the object built, when it is of the given kind.
template <class Keyer = ver2_cm>
Keyer* keyer_of(ColorMatting& cm) {
    return cm.alg && typeid(*cm.alg) == typeid(Keyer) ? static_cast<Keyer*>(cm.alg) : nullptr;
}

int calls = 0;
void count_call(float) { ++calls; }

TEST(ColorMattingLayout, FieldsInTheExportedOrder) {
    EXPECT_EQ(offsetof(ColorMatting, gpuPriority), 0u);
    EXPECT_EQ(offsetof(ColorMatting, algVersion), 4u);
    EXPECT_EQ(offsetof(ColorMatting, reserved), 8u);
    EXPECT_EQ(offsetof(ColorMatting, ready), 16u);
    EXPECT_EQ(offsetof(ColorMatting, libVersion), 20u);
    EXPECT_EQ(offsetof(ColorMatting, alg), 24u);
    EXPECT_EQ(sizeof(ColorMatting), 32u);
}

TEST(ColorMattingVersions, VersionTwoIsReadyAndReportsTheLibraryVersion) {
    ColorMatting cm(2, 0);
    EXPECT_EQ(cm.ready, 1u);
    EXPECT_EQ(cm.getVersion(), 2000);
    EXPECT_EQ(cm.reserved, 0);
    ASSERT_NE(keyer_of(cm), nullptr);
    EXPECT_EQ(keyer_of(cm)->key_color(), 0);
    EXPECT_FLOAT_EQ(keyer_of(cm)->coff_thres(), 1.0f);
}

TEST(ColorMattingVersions, EveryOtherVersionRunsTheVersionOneKeyer) {
    for (int version : {1, 5, -3}) {
        ColorMatting cm(version, 0);
        EXPECT_EQ(cm.ready, 1u);
        EXPECT_EQ(cm.getVersion(), 2000);
        const auto* v1 = keyer_of<ver1_cm>(cm);
        ASSERT_NE(v1, nullptr) << version;
        EXPECT_EQ(v1->key_color(), 2);
        EXPECT_FLOAT_EQ(v1->similar(), 0.4f);
        EXPECT_FLOAT_EQ(v1->smooth(), 10.0f);
        // I420 is not keyed by this version: the output stays as it was.
        Frame cam = testframes::blank_frame(Layout::kI420, 8, 2, 100),
              out = testframes::blank_frame(Layout::kI420, 8, 2, 7);
        cm.setParams_v2_coff_thres(0.5f);
        key_frame(cm, cam, cam, out);
        EXPECT_EQ(out.planes[0], std::vector<std::uint8_t>(16, 7));
    }
}

TEST(ColorMattingVersions, SwitchToTheSameVersionKeepsEverything) {
    ColorMatting cm(2, 0);
    cm.setParams_KeyColor(3);
    cm.setParams_v2_coff_thres(0.8f);
    base_cm* before = cm.alg;
    EXPECT_EQ(cm.switchAlgVersion(2, 7), 1);
    EXPECT_EQ(cm.alg, before);
    EXPECT_EQ(cm.gpuPriority, 0);
    EXPECT_EQ(keyer_of(cm)->key_color(), 3);
    EXPECT_FLOAT_EQ(keyer_of(cm)->coff_thres(), 0.8f);
}

TEST(ColorMattingVersions, SwitchingAwayAndBackStartsFromDefaults) {
    ColorMatting cm(2, 0);
    cm.setParams_KeyColor(3);
    EXPECT_EQ(cm.switchAlgVersion(1, 5), 0);
    EXPECT_EQ(cm.ready, 1u);
    EXPECT_EQ(cm.gpuPriority, 5);
    ASSERT_NE(keyer_of<ver1_cm>(cm), nullptr);
    EXPECT_EQ(keyer_of<ver1_cm>(cm)->key_color(), 2);
    EXPECT_EQ(cm.switchAlgVersion(2, 0), 0);
    EXPECT_EQ(cm.ready, 1u);
    EXPECT_EQ(keyer_of(cm)->key_color(), 0);
    // Version 5 is the version-1 keyer, but 5 != 1: switching replaces it.
    // (The new keyer may reuse the old one's memory: its defaults show the replacement.)
    ColorMatting five(5, 0);
    five.setParams_KeyColor(3);
    EXPECT_EQ(five.switchAlgVersion(1, 0), 0);
    ASSERT_NE(keyer_of<ver1_cm>(five), nullptr);
    EXPECT_EQ(keyer_of<ver1_cm>(five)->key_color(), 2);
    // Repeated replacement releases each keyer's OpenCL objects (checked by the
    // sanitizer build) and keeps working.
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(cm.switchAlgVersion(1, 0), 0);
        ASSERT_EQ(cm.switchAlgVersion(2, 0), 0);
    }
}

TEST(ColorMattingSetters, VersionOneSettersDoNothingOnVersionTwo) {
    ColorMatting cm(2, 0);
    calls = 0;
    cm.setParams_KeyColor(2);
    cm.setParams_v1_Similar(0.3f);
    cm.setParams_v1_Cal_Similar(count_call);
    cm.setParams_v1_Cal_Similar(nullptr);
    const testframes::KeyScene s =
        testframes::make_key_scene(64, 32, testframes::Backdrop::kGreen, 1);
    Frame out = testframes::blank_frame(Layout::kNV12, 64, 32, 0);
    key_frame(cm, testframes::to_frame(s.camera, Layout::kNV12),
              testframes::to_frame(s.background, Layout::kNV12), out);
    EXPECT_EQ(calls, 0);
    cm.setParams_KeyColor(-7);  // stored as given
    EXPECT_EQ(keyer_of(cm)->key_color(), -7);
    cm.setParams_v2_coff_thres(-2.0f);
    EXPECT_FLOAT_EQ(keyer_of(cm)->coff_thres(), -2.0f);
}

TEST(ColorMattingFrames, BadFramesPrintOneLineAndTouchNothing) {
    for (int version : {2, 1}) {
        ColorMatting cm(version, 0);
        cm.setParams_KeyColor(2);
        std::vector<std::uint8_t> in(64 * 64 * 2, 90), out(64 * 64 * 2, 7);
        const std::vector<std::uint8_t> untouched = out;
        struct Bad {
            int w, h;
            bool nullPlane;
        };
        for (Bad b : {Bad{6, 4, false}, Bad{0, 4, false}, Bad{8, 3, false}, Bad{8, 0, false},
                      Bad{-4, 2, false}, Bad{8, 4, true}}) {
            const unsigned char* src = b.nullPlane ? nullptr : in.data();
            for (int layout = 0; layout < 3; ++layout) {
                testing::internal::CaptureStdout();
                if (layout == 0)
                    cm.exec_ColorMatting_NV12(b.w, b.h, src, in.data(), in.data(), in.data(),
                                              out.data(), out.data() + 1024);
                else if (layout == 1)
                    cm.exec_ColorMatting_YUY2(b.w, b.h, src, in.data(), out.data());
                else
                    cm.exec_ColorMatting_I420(b.w, b.h, src, in.data(), in.data(), in.data(),
                                              in.data(), in.data(), out.data(), out.data() + 1024,
                                              out.data() + 2048);
                const std::string printed = testing::internal::GetCapturedStdout();
                EXPECT_EQ(out, untouched);
                if (version == 1 && layout == 2) {  // I420 is ignored by version 1
                    EXPECT_EQ(printed, "");
                    continue;
                }
                EXPECT_EQ(printed.rfind("Error @", 0), 0u) << printed;
                EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
            }
        }
    }
}

TEST(ColorMattingFrames, ObjectsOfDifferentSizesRunInAlternation) {
    const testframes::KeyScene small =
        testframes::make_key_scene(96, 64, testframes::Backdrop::kGreen, 2);
    const testframes::KeyScene large =
        testframes::make_key_scene(160, 120, testframes::Backdrop::kGreen, 2);
    ColorMatting a(2, 0), b(2, 0), alone(2, 0);
    for (ColorMatting* cm : {&a, &b, &alone}) cm->setParams_KeyColor(2);
    auto run = [](ColorMatting& cm, const testframes::KeyScene& s) {
        Frame out = testframes::blank_frame(Layout::kNV12, s.camera.w, s.camera.h, 0);
        key_frame(cm, testframes::to_frame(s.camera, Layout::kNV12),
                  testframes::to_frame(s.background, Layout::kNV12), out);
        return out;
    };
    const Frame expected = run(alone, large);
    Frame got;
    for (int i = 0; i < 3; ++i) {
        run(a, small);
        got = run(b, large);
    }
    EXPECT_EQ(got.planes, expected.planes);
}

TEST(ColorMattingFrames, SizeChangesRecreateTheImages) {
    ColorMatting cm(2, 0);
    cm.setParams_KeyColor(2);
    for (auto [w, h] : {std::pair{64, 32}, std::pair{128, 96}, std::pair{64, 32}}) {
        const testframes::KeyScene s =
            testframes::make_key_scene(w, h, testframes::Backdrop::kGreen, 4);
        for (Layout layout : {Layout::kNV12, Layout::kYUY2, Layout::kI420}) {
            Frame out = testframes::blank_frame(layout, w, h, 0);
            testing::internal::CaptureStdout();
            key_frame(cm, testframes::to_frame(s.camera, layout),
                      testframes::to_frame(s.background, layout), out);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
            EXPECT_GT(testframes::psnr(out, testframes::to_frame(s.truth, layout)), 25.0);
        }
    }
}

// Sides above 16384 are refused at the public calls with one bad-frame line,
// before any size arithmetic of either keyer.
TEST(ColorMattingFrames, HugeFramesPrintOneBadFrameLine) {
    for (int version : {1, 2}) {
        testing::internal::CaptureStdout();
        ColorMatting cm(version, 0);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(cm.ready, 1u);
        std::vector<unsigned char> plane(64, 7);
        unsigned char* p = plane.data();
        testing::internal::CaptureStdout();
        cm.exec_ColorMatting_YUY2(2147483644, 2, p, p, p);
        cm.exec_ColorMatting_NV12(16388, 2, p, p, p, p, p, p);
        cm.exec_ColorMatting_I420(4, 2147483646, p, p, p, p, p, p, p, p, p);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Error @exec_ColorMatting_YUY2(bad frame 2147483644x2):-30\n"
                  "Error @exec_ColorMatting_NV12(bad frame 16388x2):-30\n"
                  "Error @exec_ColorMatting_I420(bad frame 4x2147483646):-30\n")
            << "version " << version;
        EXPECT_EQ(plane, std::vector<unsigned char>(64, 7));
    }
}

}  // namespace
