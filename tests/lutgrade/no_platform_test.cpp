// A machine without any OpenCL platform (the ICD loader is pointed at an
// empty vendor folder): the object exists, prints, and touches nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lutgrade/Lut3D.h"
#include "test_files.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(NoPlatform, LutExistsButGradesNothing) {
    CaptureStdout();
    Lut3D lut(1);
    EXPECT_EQ(GetCapturedStdout(), "Error @clGetPlatformIDs:-1001\n");

    const std::string cube = lutref::write_text(
        lutref::test_folder() + "/two.cube",
        "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    CaptureStdout();
    EXPECT_EQ(lut.load_filter_of_cube_3dl_file(cube.c_str(), 2), -1);
    std::vector<unsigned char> src(36 * 10 * 2, 50), dst(36 * 10 * 2, 7);
    lut.exec_3DLut_NV12(36, 10, src.data(), src.data() + 360, dst.data(), dst.data() + 360);
    lut.exec_3DLut_YUY2(36, 10, src.data(), dst.data());
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out.find("Error @load_filter_of_cube_3dl_file(" + cube + "): no OpenCL device\n"), 0u)
        << out;
    EXPECT_NE(out.find("Error @clCreateImage(1D):-34\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error @clCreateImage(Y):-34\nError 1"), std::string::npos) << out;
    EXPECT_NE(out.find("Error @clCreateImage(YUy2):-34\nError 1"), std::string::npos) << out;
    EXPECT_EQ(dst, std::vector<unsigned char>(dst.size(), 7));
}

}  // namespace
