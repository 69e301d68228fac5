// The exported class as a host application uses it.
#include "lutgrade/Lut3D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "cpu_reference.h"
#include "gpu_runtime/cl_api.h"
#include "lut3d_grade.h"
#include "test_files.h"

namespace {

using lutref::Bytes;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string cube_of(const lutref::Table& t) {
    std::string text = "TITLE \"Test Look\"\nLUT_3D_SIZE " + std::to_string(t.n) + "\n";
    char line[64];
    for (std::size_t e = 0; e < t.bytes.size(); e += 4) {
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", t.bytes[e] / 255.0,
                      t.bytes[e + 1] / 255.0, t.bytes[e + 2] / 255.0);
        text += line;
    }
    return text;
}

class Lut3DFile : public testing::Test {
protected:
    void SetUp() override {
        mFolder = lutref::test_folder();
        mLook = lutref::warm_look_table(17);
        mLookPath = lutref::write_text(mFolder + "/look.cube", cube_of(mLook));
    }
    std::string mFolder, mLookPath;
    lutref::Table mLook;
};

TEST_F(Lut3DFile, GradesWithALoadedCubeFile) {
    CaptureStdout();
    Lut3D lut(2);
    const int w = 64, h = 16;
    const lutref::Nv12 in = lutref::sample_nv12(w, h, 11);
    EXPECT_EQ(lutref::grade_with(lut, in, w, h).y, Bytes(in.y.size(), 0))
        << "no table yet: untouched";
    EXPECT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 17), 0);
    const lutref::Nv12 got = lutref::grade_with(lut, in, w, h);
    GetCapturedStdout();
    const lutref::Nv12 want = lutref::grade_nv12(mLook, w, h, in);
    EXPECT_LE(lutref::max_difference(got.y, want.y), 3);
    EXPECT_LE(lutref::max_difference(got.uv, want.uv), 3);
}

// A 17-point .3dl in the standard order (blue fastest, red slowest), with a
// mesh line and 12-bit values, of the colour function f.
std::string three_dl_of(lutref::Rgb (*f)(float r, float g, float b), int (*value)(float)) {
    std::string text = "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023\n";
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b) {
                const lutref::Rgb c = f(r / 16.0f, g / 16.0f, b / 16.0f);
                text += std::to_string(value(c.r)) + " " + std::to_string(value(c.g)) + " " +
                        std::to_string(value(c.b)) + "\n";
            }
    return text;
}

// An NV12 frame graded through the library and the same colours graded by
// ffmpeg's lut3d (as 16-bit RGB, so that only the tables differ) agree within
// one code value in every plane.
TEST_F(Lut3DFile, ThreeDlGradesLikeFfmpegLut3d) {
#ifdef _WIN32
    GTEST_SKIP() << "ffmpeg runs on the build machine, not under Wine";
#endif
    // The identity as tools write it (i * 256, the last point 4095), and a look
    // in which red and blue play different parts.
    const std::string identity = lutref::write_text(
        mFolder + "/identity.3dl",
        three_dl_of(
            [](float r, float g, float b) {
                return lutref::Rgb{r, g, b};
            },
            [](float v) { return std::min(static_cast<int>(v * 16.0f + 0.5f) * 256, 4095); }));
    const std::string asymmetric = lutref::write_text(
        mFolder + "/asymmetric.3dl",
        three_dl_of(
            [](float r, float g, float b) {
                return lutref::Rgb{0.75f * r + 0.2f * b, 0.9f * g, 0.1f + 0.5f * b + 0.3f * r * r};
            },
            [](float v) { return static_cast<int>(v * 4095.0f + 0.5f); }));

    // Blocks of 2 x 2 pixels of one colour, so that chroma sharing plays no part.
    const int w = 64, h = 32;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    lutref::Nv12 in{Bytes(w * h), Bytes(w * h / 2)};
    Bytes rgb48(static_cast<std::size_t>(w) * h * 6);
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            std::uint8_t y, cb, cr;
            lutref::to_ycbcr({unit(random), unit(random), unit(random)}, y, cb, cr);
            in.uv[by * w + 2 * bx] = cb;
            in.uv[by * w + 2 * bx + 1] = cr;
            const lutref::Rgb c = lutref::to_rgb(y, cb, cr);
            for (int p = 0; p < 4; ++p) {
                const std::size_t at =
                    static_cast<std::size_t>(2 * by + p / 2) * w + 2 * bx + p % 2;
                in.y[at] = y;
                const float channels[3] = {c.r, c.g, c.b};
                for (int ch = 0; ch < 3; ++ch) {
                    const int v = static_cast<int>(channels[ch] * 65535.0f + 0.5f);
                    rgb48[6 * at + 2 * ch] = static_cast<std::uint8_t>(v & 0xff);
                    rgb48[6 * at + 2 * ch + 1] = static_cast<std::uint8_t>(v >> 8);
                }
            }
        }
    const std::string input = mFolder + "/in.rgb48";
    lutref::write_text(input, std::string(rgb48.begin(), rgb48.end()));

    for (const std::string& table : {identity, asymmetric}) {
        const std::string peer = table + ".rgb48";
        const std::string command =
            "ffmpeg -nostdin -v error -f rawvideo -pix_fmt rgb48le -s 64x32 -i " + input +
            " -vf lut3d=file=" + table + ":interp=tetrahedral -f rawvideo -pix_fmt rgb48le -y " +
            peer;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream file(peer, std::ios::binary);
        const Bytes theirs((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
        ASSERT_EQ(theirs.size(), rgb48.size());

        CaptureStdout();
        Lut3D lut(2);
        ASSERT_EQ(lut.load_filter_of_cube_3dl_file(table.c_str(), 17), 0);
        const lutref::Nv12 ours = lutref::grade_with(lut, in, w, h);
        GetCapturedStdout();

        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * w + x;
                float c[3];
                for (int ch = 0; ch < 3; ++ch)
                    c[ch] = (theirs[6 * at + 2 * ch] | theirs[6 * at + 2 * ch + 1] << 8) / 65535.0f;
                std::uint8_t py, pcb, pcr;
                lutref::to_ycbcr({c[0], c[1], c[2]}, py, pcb, pcr);
                const std::size_t chroma = static_cast<std::size_t>(y / 2) * w + x / 2 * 2;
                worst = std::max({worst, std::abs(ours.y[at] - py), std::abs(ours.uv[chroma] - pcb),
                                  std::abs(ours.uv[chroma + 1] - pcr)});
            }
        EXPECT_LE(worst, 1) << table;
        std::printf("%s: largest difference from ffmpeg lut3d %d code values\n", table.c_str(),
                    worst);
    }
}

// Each broken file is refused with one reason line naming it, printed before
// the Part's own lines (which stay), and the current table grades on as before.
TEST_F(Lut3DFile, BrokenTablesAreRefusedWithTheirReasonAndKeepTheTable) {
    CaptureStdout();
    Lut3D lut(2);
    ASSERT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 17), 0);
    const int w = 36, h = 10;
    const lutref::Nv12 in = lutref::sample_nv12(w, h, 12);
    const lutref::Nv12 before = lutref::grade_with(lut, in, w, h);
    GetCapturedStdout();

    std::mt19937 random(15);
    std::string noise(1 << 20, '\0'), junkLines;
    for (char& c : noise) c = static_cast<char>(random());
    for (int i = 0; i < 40; ++i)
        junkLines += std::string(1, static_cast<char>(0x80 + i)) + "\x01\x02junk\n";
    std::string threeDl100 = "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023\n";
    for (int i = 0; i < 100; ++i) threeDl100 += "0 0 0\n";
    const std::string two = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n";  // 7 of 8 entries
    struct Case {
        const char* name;
        std::string text;  // no file is written for "missing"
        const char* reason;
    } cases[] = {
        {"commas.cube", "LUT_3D_SIZE 2\n0.0, 0.0, 0.0\n" + two, "bad number on line 2"},
        {"junk.cube", "LUT_3D_SIZE 2\n" + junkLines,
         "not a table: 10 lines are neither data nor keywords"},
        {"noise.cube", noise, "not a table: 10 lines are neither data nor keywords"},
        {"nan.cube", "LUT_3D_SIZE 2\n" + two + "nan 0 1\n", "bad number on line 9: nan"},
        {"inf.cube", "LUT_3D_SIZE 2\ninf 0 1\n" + two, "bad number on line 2: inf"},
        {"two-values.cube", "LUT_3D_SIZE 2\n0 0\n" + two + "1 1 1\n",
         "bad number on line 2 (a data line holds three"},
        {"one-d.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n", "1D tables are not supported"},
        {"short.3dl", threeDl100, "expected 125 entries (5^3), found 100"},
        {"short.cube", "LUT_3D_SIZE 2\n" + two, "expected 8 entries (2^3), found 7"},
        {"wrapping.cube", "LUT_3D_SIZE 4294967298\n" + two + "1 1 1\n",
         "size out of range: LUT_3D_SIZE 4294967298"},
        {"fraction.cube", "LUT_3D_SIZE 2.5\n" + two + "1 1 1\n",
         "size out of range: LUT_3D_SIZE 2.5"},
        {"big.cube", "LUT_3D_SIZE 257\n" + two + "1 1 1\n", "size out of range: LUT_3D_SIZE 257"},
        {"domain.cube", "DOMAIN_MAX 2 2 2\nLUT_3D_SIZE 2\n" + two + "1 1 1\n",
         "the domain (DOMAIN_MAX) is not 0 to 1"},
        {"empty.cube", "", "no entries"},
        {"titled.cube", "TITLE \"only a title\"\n# and a comment\n", "no entries"},
        {"missing.cube", "", "cannot open"},
        {"folder.cube", "", "is a directory"},
        {"look.Cube", cube_of(mLook), "unsupported extension"},
    };
    for (const Case& c : cases) {
        const std::string path = mFolder + "/" + c.name;
        if (std::string(c.name) == "folder.cube")
            std::filesystem::create_directory(path);
        else if (std::string(c.name) != "missing.cube")
            lutref::write_text(path, c.text);
        CaptureStdout();
        const int status = lut.load_filter_of_cube_3dl_file(path.c_str(), 9);
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(status, CL_INVALID_VALUE) << c.name;
        const std::string reasonLine = "Error @load_filter_of_cube_3dl_file(" + path + "): ";
        EXPECT_EQ(out.find(reasonLine), 0u) << c.name << ": the reason comes first\n" << out;
        EXPECT_NE(out.find(reasonLine + c.reason), std::string::npos) << c.name << "\n" << out;
        EXPECT_NE(out.find("Error @clEnqueueWriteImage(1Y):-30\n"), std::string::npos) << c.name;
        EXPECT_LE(std::count(out.begin(), out.end(), '\n'), 16) << c.name << ": a short report\n"
                                                                << out;
        const lutref::Nv12 after = lutref::grade_with(lut, in, w, h);
        EXPECT_EQ(after.y, before.y) << c.name;
        EXPECT_EQ(after.uv, before.uv) << c.name;
    }

    CaptureStdout();
    EXPECT_NE(lut.load_filter_of_cube_3dl_file(nullptr, 17), 0);
    EXPECT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 1), -1);
    EXPECT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 257), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Error @load_filter_of_cube_3dl_file(lutSize=257):-1\n"), std::string::npos)
        << out;
    const lutref::Nv12 after = lutref::grade_with(lut, in, w, h);
    EXPECT_EQ(after.y, before.y);
    EXPECT_EQ(after.uv, before.uv);
}

// Sides above 16384 are refused at the public calls with the bad-frame line,
// before any size arithmetic.
TEST(Lut3D, HugeFramesPrintOneBadFrameLine) {
    CaptureStdout();
    Lut3D lut(2);
    GetCapturedStdout();
    Bytes plane(64, 7);
    unsigned char* p = plane.data();
    CaptureStdout();
    lut.exec_3DLut_NV12(2147483644, 2, p, p, p, p);
    lut.exec_3DLut_I420(4, 16386, p, p, p, p, p, p);
    lut.exec_3DLut_YUY2(2147483644, 2, p, p);
    EXPECT_EQ(GetCapturedStdout(),
              "Error @exec_3DLut_NV12(bad frame 2147483644x2):-30\n"
              "Error @exec_3DLut_I420(bad frame 4x16386):-30\n"
              "Error @exec_3DLut_YUY2(bad frame 2147483644x2):-30\n");
    EXPECT_EQ(plane, Bytes(64, 7));
}

TEST(Lut3D, InfoRangesByMode) {
    CaptureStdout();
    Lut3D lut(2);
    GetCapturedStdout();
    LutInfoRange r{360.0f, 9, 9, -5.0f, 9, 9};
    lut.getLutInfoRange(r, CHI3DLUT_MODE_ABSOLUTE);
    EXPECT_FLOAT_EQ(r.maxSaturation, 1.0f);
    EXPECT_FLOAT_EQ(r.maxValue, 1.0f);
    EXPECT_FLOAT_EQ(r.minSaturation, 0.0f);
    EXPECT_FLOAT_EQ(r.minValue, 0.0f);
    for (int mode : {1, 7}) {
        lut.getLutInfoRange(r, static_cast<Chi3dlutModeInfo>(mode));
        EXPECT_FLOAT_EQ(r.maxSaturation, 0.3f);
        EXPECT_FLOAT_EQ(r.maxValue, 0.15f);
        EXPECT_FLOAT_EQ(r.minSaturation, -0.3f);
        EXPECT_FLOAT_EQ(r.minValue, -0.15f);
    }
    EXPECT_FLOAT_EQ(r.maxHue, 360.0f);
    EXPECT_FLOAT_EQ(r.minHue, -5.0f);
}

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// Each object owns a context, queue, kernels, a table and frame images; all
// of it goes back when the object dies.
TEST(Lut3D, ManyObjectsDoNotAccumulateMemory) {
    const lutref::Table table = lutref::warm_look_table(17);
    const std::string path = lutref::write_text(lutref::test_folder() + "/t.cube", cube_of(table));
    const lutref::Nv12 in = lutref::sample_nv12(640, 360, 5);
    auto cycle = [&] {
        Lut3D lut(2);
        lut.load_filter_of_cube_3dl_file(path.c_str(), 17);
        lutref::grade_with(lut, in, 640, 360);
    };
    CaptureStdout();
    for (int i = 0; i < 30; ++i) cycle();
    const long settled = resident_kib();
    for (int i = 0; i < 300; ++i) cycle();
    const long grown = resident_kib() - settled;
    GetCapturedStdout();
    // A leaked object would keep at least its frame images (700 KiB) and table.
    EXPECT_LT(grown, 20 * 1024) << "KiB after 300 more objects";
}

}  // namespace
