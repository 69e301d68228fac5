// Generated tables through Lut3D: grading on the device, write-back of the
// entries, refused calls.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cpu_reference.h"
#include "lut3d_grade.h"
#include "lutgrade/Lut3D.h"
#include "tables/OrvalenQcom3DLUT.h"

namespace {

using lutref::Bytes;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Greens towards yellow, skin warmer and a little brighter, blues less saturated.
std::vector<Chi3dlutRgbcmyInfo> look() {
    return {{120, 0.5f, 0.6f, 100, 0.6f, 0.6f, 0, 0},
            {25, 0, 0, 50, 0.08f, 0.05f, -6, 1},
            {25, 0, 0, 50, 0.08f, 0.05f, 0, 1},
            {230, 0, 0, 260, -0.1f, 0, 0, 1}};
}

lutref::Table table_of(std::vector<Chi3dlutRgbcmyInfo> entries) {
    Orvalen::OrvalenQcom3DLUT builder;
    return {17, builder.build(entries.data(), static_cast<unsigned>(entries.size()))};
}

class HsvGrading : public testing::Test {
protected:
    void SetUp() override {
        CaptureStdout();
        mLut = std::make_unique<Lut3D>(2);
        GetCapturedStdout();
    }
    std::unique_ptr<Lut3D> mLut;
};

TEST_F(HsvGrading, GeneratedTableGradesLikeTheCpuReference) {
    std::vector<Chi3dlutRgbcmyInfo> entries = look();
    const lutref::Table table = table_of(entries);
    ASSERT_EQ(mLut->load_filter_from_HSV(entries.data(), static_cast<unsigned>(entries.size()), 0),
              0);
    const int w = 200, h = 64;
    const lutref::Nv12 nv12 = lutref::sample_nv12(w, h, 21);
    const lutref::Nv12 got = lutref::grade_with(*mLut, nv12, w, h),
                       want = lutref::grade_nv12(table, w, h, nv12);
    EXPECT_LE(lutref::max_difference(got.y, want.y), 3);
    EXPECT_LE(lutref::max_difference(got.uv, want.uv), 3);
    EXPECT_GT(lutref::max_difference(got.uv, nv12.uv), 8) << "the look changes colours";

    const lutref::I420 i420 = lutref::sample_i420(w, h, 22);
    lutref::I420 i420Got{Bytes(i420.y.size()), Bytes(i420.u.size()), Bytes(i420.v.size())};
    mLut->exec_3DLut_I420(w, h, i420.y.data(), i420.u.data(), i420.v.data(), i420Got.y.data(),
                          i420Got.u.data(), i420Got.v.data());
    const lutref::I420 i420Want = lutref::grade_i420(table, w, h, i420);
    EXPECT_LE(lutref::max_difference(i420Got.y, i420Want.y), 3);
    EXPECT_LE(lutref::max_difference(i420Got.u, i420Want.u), 3);
    EXPECT_LE(lutref::max_difference(i420Got.v, i420Want.v), 3);

    const Bytes yuy2 = lutref::sample_yuy2(w, h, 23);
    Bytes yuy2Got(yuy2.size());
    mLut->exec_3DLut_YUY2(w, h, yuy2.data(), yuy2Got.data());
    EXPECT_LE(lutref::max_difference(yuy2Got, lutref::grade_yuy2(table, w, h, yuy2)), 3);
}

TEST_F(HsvGrading, NoEntriesLoadTheIdentity) {
    ASSERT_EQ(mLut->load_filter_from_HSV(nullptr, 0, 0), 0);
    const lutref::Nv12 in = lutref::sample_nv12(36, 10, 4);
    const lutref::Nv12 out = lutref::grade_with(*mLut, in, 36, 10);
    EXPECT_LE(lutref::max_difference(out.y, in.y), 2);
    EXPECT_LE(lutref::max_difference(out.uv, in.uv), 2);
}

TEST_F(HsvGrading, EntriesComeBackNormalised) {
    Chi3dlutRgbcmyInfo e[] = {{-30, 0.5f, 0.5f, 10, 0.5f, 0.5f, 0, 0},
                              {100, 0.5f, 0.5f, 120, 0.5f, 0.5f, 0, 1}};
    ASSERT_EQ(mLut->load_filter_from_HSV(e, 2, 12345), 0);
    EXPECT_FLOAT_EQ(e[0].hue, 330);
    EXPECT_FLOAT_EQ(e[0].saturation, 0.5f);
    EXPECT_FLOAT_EQ(e[1].saturation, 0.3f) << "mode 1 clamps to 0.3";
    EXPECT_FLOAT_EQ(e[1].value, 0.15f);
}

// A missing array with a count, or a count above 1024, changes nothing:
// neither the entries nor the current table.
TEST_F(HsvGrading, RefusedCallsChangeNothing) {
    std::vector<Chi3dlutRgbcmyInfo> entries = look();
    ASSERT_EQ(mLut->load_filter_from_HSV(entries.data(), static_cast<unsigned>(entries.size()), 0),
              0);
    const lutref::Nv12 in = lutref::sample_nv12(36, 10, 5);
    const lutref::Nv12 before = lutref::grade_with(*mLut, in, 36, 10);

    std::vector<Chi3dlutRgbcmyInfo> many(1025, Chi3dlutRgbcmyInfo{-30, 2, 2, 0, 0, 0, 0, 0});
    CaptureStdout();
    EXPECT_EQ(mLut->load_filter_from_HSV(nullptr, 3, 0), -1);
    EXPECT_EQ(mLut->load_filter_from_HSV(many.data(), 1025, 0), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Error @load_filter_from_HSV(count=3):-1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error @load_filter_from_HSV(count=1025):-1\n"), std::string::npos) << out;
    EXPECT_FLOAT_EQ(many[0].hue, -30) << "not normalised";

    const lutref::Nv12 after = lutref::grade_with(*mLut, in, 36, 10);
    EXPECT_EQ(after.y, before.y);
    EXPECT_EQ(after.uv, before.uv);
    EXPECT_EQ(mLut->load_filter_from_HSV(many.data(), 1024, 0), 0) << "1024 is still accepted";
}

}  // namespace
