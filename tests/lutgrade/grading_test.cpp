// Grading on the OpenCL device against the CPU reference of cpu_reference.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu_reference.h"
#include "gpu/impCL3DLut.h"

namespace {

using lutref::Bytes;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Size {
    int w, h;
};
// A small odd-multiple size, a size whose grid does not fill whole work-groups, and 1080p.
const Size kSizes[] = {{36, 10}, {100, 38}, {1920, 1080}};

class Grading : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CaptureStdout();
        mLut = new impCL3DLut(2);
        mLut->initOpenCL();
        GetCapturedStdout();
    }
    static void TearDownTestSuite() { delete mLut; }

    static void load(const lutref::Table& t) {
        CaptureStdout();
        ASSERT_EQ(mLut->setLutImage(t.n, lutref::rgb_floats(t).data()), 0) << GetCapturedStdout();
        GetCapturedStdout();
    }

    // Grades all three layouts at every size and compares with the reference.
    static void expect_all_layouts_within(const lutref::Table& t, int tolerance,
                                          bool againstInput) {
        load(t);
        unsigned seed = 1;
        for (const Size s : kSizes) {
            SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
            const lutref::Nv12 nv12 = lutref::sample_nv12(s.w, s.h, seed++);
            const lutref::Nv12 nv12Want =
                againstInput ? nv12 : lutref::grade_nv12(t, s.w, s.h, nv12);
            lutref::Nv12 nv12Got{Bytes(nv12.y.size()), Bytes(nv12.uv.size())};
            mLut->runNV12(s.w, s.h, nv12.y.data(), nv12.uv.data(), nv12Got.y.data(),
                          nv12Got.uv.data());
            EXPECT_LE(lutref::max_difference(nv12Got.y, nv12Want.y), tolerance) << "NV12 Y";
            EXPECT_LE(lutref::max_difference(nv12Got.uv, nv12Want.uv), tolerance) << "NV12 UV";

            const lutref::I420 i420 = lutref::sample_i420(s.w, s.h, seed++);
            const lutref::I420 i420Want =
                againstInput ? i420 : lutref::grade_i420(t, s.w, s.h, i420);
            lutref::I420 i420Got{Bytes(i420.y.size()), Bytes(i420.u.size()), Bytes(i420.v.size())};
            mLut->runI420(s.w, s.h, i420.y.data(), i420.u.data(), i420.v.data(), i420Got.y.data(),
                          i420Got.u.data(), i420Got.v.data());
            EXPECT_LE(lutref::max_difference(i420Got.y, i420Want.y), tolerance) << "I420 Y";
            EXPECT_LE(lutref::max_difference(i420Got.u, i420Want.u), tolerance) << "I420 U";
            EXPECT_LE(lutref::max_difference(i420Got.v, i420Want.v), tolerance) << "I420 V";

            const Bytes yuy2 = lutref::sample_yuy2(s.w, s.h, seed++);
            const Bytes yuy2Want = againstInput ? yuy2 : lutref::grade_yuy2(t, s.w, s.h, yuy2);
            Bytes yuy2Got(yuy2.size());
            mLut->runYUY2(s.w, s.h, yuy2.data(), yuy2Got.data());
            EXPECT_LE(lutref::max_difference(yuy2Got, yuy2Want), tolerance) << "YUY2";
        }
    }

    static impCL3DLut* mLut;
};

impCL3DLut* Grading::mLut = nullptr;

TEST_F(Grading, IdentityTableGivesFramesBack) {
    expect_all_layouts_within(lutref::identity_table(33), 2, true);
}

TEST_F(Grading, LookTableMatchesTheCpuReference) {
    expect_all_layouts_within(lutref::warm_look_table(33), 3, false);
    expect_all_layouts_within(lutref::warm_look_table(2), 3, false);  // the smallest table
}

TEST_F(Grading, SourceAndDestinationMayBeTheSamePlanes) {
    const lutref::Table look = lutref::warm_look_table(17);
    load(look);
    const int w = 36, h = 10;
    lutref::Nv12 nv12 = lutref::sample_nv12(w, h, 7);
    const lutref::Nv12 want = lutref::grade_nv12(look, w, h, nv12);
    mLut->runNV12(w, h, nv12.y.data(), nv12.uv.data(), nv12.y.data(), nv12.uv.data());
    EXPECT_LE(lutref::max_difference(nv12.y, want.y), 3);
    EXPECT_LE(lutref::max_difference(nv12.uv, want.uv), 3);

    lutref::I420 i420 = lutref::sample_i420(w, h, 8);
    const lutref::I420 i420Want = lutref::grade_i420(look, w, h, i420);
    mLut->runI420(w, h, i420.y.data(), i420.u.data(), i420.v.data(), i420.y.data(), i420.u.data(),
                  i420.v.data());
    EXPECT_LE(lutref::max_difference(i420.v, i420Want.v), 3);

    Bytes yuy2 = lutref::sample_yuy2(w, h, 9);
    const Bytes yuy2Want = lutref::grade_yuy2(look, w, h, yuy2);
    mLut->runYUY2(w, h, yuy2.data(), yuy2.data());
    EXPECT_LE(lutref::max_difference(yuy2, yuy2Want), 3);
}

TEST_F(Grading, BadFramesPrintOneLineAndLeaveTheDestinationAlone) {
    load(lutref::warm_look_table(9));
    Bytes src(64 * 4 * 2, 100), dst(64 * 4 * 2, 7);
    const Bytes untouched = dst;
    struct Case {
        int w, h;
        const unsigned char* src;
    } cases[] = {{6, 4, src.data()},
                 {8, 3, src.data()},
                 {0, 4, src.data()},
                 {8, 0, src.data()},
                 {8, 4, nullptr}};
    for (const Case& c : cases) {
        CaptureStdout();
        mLut->runNV12(c.w, c.h, c.src, c.src, dst.data(), dst.data());
        mLut->runI420(c.w, c.h, c.src, c.src, c.src, dst.data(), dst.data(), dst.data());
        mLut->runYUY2(c.w, c.h, c.src, dst.data());
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(dst, untouched);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
        EXPECT_NE(out.find("Error @exec_3DLut_NV12(bad frame"), std::string::npos) << out;
    }
    CaptureStdout();
    mLut->runYUY2(8, 4, src.data(), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "Error @exec_3DLut_YUY2(bad frame 8x4):-30\n")
        << "a missing destination";
}

// Handles are compared while the earlier object is still retained, so a new
// object cannot reuse its address.
class Retained {
public:
    explicit Retained(cl_mem m) : mM(m) {
        if (mM) clRetainMemObject(mM);
    }
    ~Retained() {
        if (mM) clReleaseMemObject(mM);
    }
    cl_mem get() const { return mM; }

private:
    cl_mem mM;
};

TEST(GradingState, FramesBeforeAnyTableAreUntouched) {
    CaptureStdout();
    impCL3DLut lut(2);
    lut.initOpenCL();
    GetCapturedStdout();
    const lutref::Nv12 in = lutref::sample_nv12(36, 10, 3);
    CaptureStdout();
    lutref::Nv12 out{Bytes(in.y.size(), 9), Bytes(in.uv.size(), 9)};
    lut.runNV12(36, 10, in.y.data(), in.uv.data(), out.y.data(), out.uv.data());
    EXPECT_EQ(GetCapturedStdout().find("Error"), std::string::npos);
    EXPECT_EQ(out.y, Bytes(in.y.size(), 9));
    EXPECT_EQ(out.uv, Bytes(in.uv.size(), 9));
}

TEST(GradingState, TableIsRecreatedOnlyForANewEdge) {
    CaptureStdout();
    impCL3DLut lut(2);
    lut.initOpenCL();
    GetCapturedStdout();
    ASSERT_EQ(lut.setLutImage(17, lutref::rgb_floats(lutref::identity_table(17)).data()), 0);
    const Retained t17(lut.table());
    ASSERT_EQ(lut.setLutImage(33, lutref::rgb_floats(lutref::identity_table(33)).data()), 0);
    const Retained t33(lut.table());
    EXPECT_NE(t33.get(), t17.get());
    EXPECT_EQ(lut.table_edge(), 33);
    ASSERT_EQ(lut.setLutImage(33, lutref::rgb_floats(lutref::warm_look_table(33)).data()), 0);
    EXPECT_EQ(lut.table(), t33.get());

    // Refused tables keep the current one.
    CaptureStdout();
    EXPECT_EQ(lut.setLutImage(17, nullptr), CL_INVALID_VALUE);
    EXPECT_EQ(lut.setLutImage(1, lutref::rgb_floats(lutref::identity_table(2)).data()), -1);
    EXPECT_EQ(lut.setLutImage(257, lutref::rgb_floats(lutref::identity_table(2)).data()), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Error @clEnqueueWriteImage(1Y):-30\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error @setLutImage(lutSize=257):-1\n"), std::string::npos) << out;
    EXPECT_EQ(lut.table(), t33.get());
    EXPECT_EQ(lut.table_edge(), 33);
}

TEST(GradingState, FrameImagesFollowTheFrameSizeAndEmptyTheLocalSizeCache) {
    CaptureStdout();
    impCL3DLut lut(2);
    lut.initOpenCL();
    GetCapturedStdout();
    const lutref::Table id = lutref::identity_table(5);
    ASSERT_EQ(lut.setLutImage(5, lutref::rgb_floats(id).data()), 0);
    Bytes y(1920 * 1080), uv(1920 * 540);
    lut.runNV12(1920, 1080, y.data(), uv.data(), y.data(), uv.data());
    const gpurt::FrameSet<2>& nv12 = lut.frames(gpurt::FrameLayout::kNv12);
    const Retained firstY(nv12[0].plane(0));
    EXPECT_EQ(nv12[0].texel_width(0), 1920u / 4);
    EXPECT_EQ(lut.device_context().localSizes.size(), 1u);
    lut.runNV12(1920, 1080, y.data(), uv.data(), y.data(), uv.data());
    EXPECT_EQ(nv12[0].plane(0), firstY.get()) << "same size: no new images";

    lut.runNV12(1280, 720, y.data(), uv.data(), y.data(), uv.data());
    EXPECT_NE(nv12[0].plane(0), firstY.get());
    EXPECT_EQ(lut.device_context().localSizes.size(), 1u) << "emptied, then only the new grid";

    // Each layout keeps its own images: I420 at the NV12 size still gets its own.
    Bytes u(1280 * 720 / 4), v(1280 * 720 / 4);
    lut.runI420(1280, 720, y.data(), u.data(), v.data(), y.data(), u.data(), v.data());
    const gpurt::FrameSet<2>& i420 = lut.frames(gpurt::FrameLayout::kI420);
    EXPECT_NE(i420[0].plane(1), nullptr);
    EXPECT_NE(i420[1].plane(0), nullptr);
}

}  // namespace
