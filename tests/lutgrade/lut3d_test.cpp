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

// A frame of 2 x 2 blocks of one colour each, so that chroma sharing plays
// no part, and the RGB each block decodes to (row by row). The first blocks
// are black, white, the primaries and grey.
struct BlockFrame {
    lutref::Nv12 frame;
    std::vector<lutref::Rgb> colours;
};

BlockFrame block_frame(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const lutref::Rgb fixed[] = {{0, 0, 0}, {1, 1, 1}, {1, 0, 0},
                                 {0, 1, 0}, {0, 0, 1}, {.5f, .5f, .5f}};
    BlockFrame f{{Bytes(w * h), Bytes(w * h / 2)}, {}};
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            const std::size_t block = f.colours.size();
            const lutref::Rgb c = block < std::size(fixed)
                                      ? fixed[block]
                                      : lutref::Rgb{unit(random), unit(random), unit(random)};
            std::uint8_t y, cb, cr;
            lutref::to_ycbcr(c, y, cb, cr);
            f.frame.uv[by * w + 2 * bx] = cb;
            f.frame.uv[by * w + 2 * bx + 1] = cr;
            for (int p = 0; p < 4; ++p) f.frame.y[(2 * by + p / 2) * w + 2 * bx + p % 2] = y;
            f.colours.push_back(lutref::to_rgb(y, cb, cr));
        }
    return f;
}

// The largest difference in code values, over all planes, between a graded
// block frame and a peer's graded colour of each block (clamped to the RGB cube).
int worst_against(const lutref::Nv12& ours, int w, const std::vector<lutref::Rgb>& peer) {
    int worst = 0;
    for (std::size_t block = 0; block < peer.size(); ++block) {
        const int bx = static_cast<int>(block % (w / 2)), by = static_cast<int>(block / (w / 2));
        const lutref::Rgb c = peer[block];
        std::uint8_t y, cb, cr;
        lutref::to_ycbcr(
            {std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f)},
            y, cb, cr);
        const std::size_t chroma = static_cast<std::size_t>(by) * w + 2 * bx;
        for (int p = 0; p < 4; ++p)
            worst = std::max(worst, std::abs(ours.y[(2 * by + p / 2) * w + 2 * bx + p % 2] - y));
        worst =
            std::max({worst, std::abs(ours.uv[chroma] - cb), std::abs(ours.uv[chroma + 1] - cr)});
    }
    return worst;
}

lutref::Nv12 graded_by_file(Lut3D& lut, const std::string& table, int edge, const lutref::Nv12& in,
                            int w, int h) {
    CaptureStdout();
    EXPECT_EQ(lut.load_filter_of_cube_3dl_file(table.c_str(), edge), 0) << table;
    const lutref::Nv12 ours = lutref::grade_with(lut, in, w, h);
    GetCapturedStdout();
    return ours;
}

// The block colours graded by ffmpeg's lut3d (as 16-bit RGB, so that only the
// tables differ); empty when ffmpeg refuses the file.
std::vector<lutref::Rgb> ffmpeg_graded(const std::string& table,
                                       const std::vector<lutref::Rgb>& colours) {
    Bytes rgb48;
    for (const lutref::Rgb& c : colours)
        for (float v : {c.r, c.g, c.b}) {
            const int code = static_cast<int>(v * 65535.0f + 0.5f);
            rgb48.push_back(static_cast<std::uint8_t>(code & 0xff));
            rgb48.push_back(static_cast<std::uint8_t>(code >> 8));
        }
    const std::string input = table + ".in.rgb48", peer = table + ".ffmpeg.rgb48";
    lutref::write_text(input, std::string(rgb48.begin(), rgb48.end()));
    const std::string command =
        "ffmpeg -nostdin -v quiet -f rawvideo -pix_fmt rgb48le -s " +
        std::to_string(colours.size()) + "x1 -i '" + input + "' -vf \"lut3d=file='" + table +
        "':interp=tetrahedral\" -f rawvideo -pix_fmt rgb48le -y '" + peer + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream file(peer, std::ios::binary);
    const Bytes theirs((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<lutref::Rgb> out;
    for (std::size_t at = 0; at + 6 <= theirs.size(); at += 6) {
        float c[3];
        for (int ch = 0; ch < 3; ++ch)
            c[ch] = (theirs[at + 2 * ch] | theirs[at + 2 * ch + 1] << 8) / 65535.0f;
        out.push_back({c[0], c[1], c[2]});
    }
    return out.size() == colours.size() ? out : std::vector<lutref::Rgb>{};
}

// One look written in every format and variant the library reads (baked by
// OpenColorIO's ociobakelut where it writes the format, else by the script),
// graded at the size the script names and compared with
// OpenColorIO's reading of the same file on the same colours. ffmpeg's lut3d
// grades the files it reads as a second opinion: the 12-bit .3dl and the
// Resolve .cube must agree with it too.
TEST_F(Lut3DFile, EveryFormatGradesLikeOpenColorIO) {
#ifdef _WIN32
    GTEST_SKIP() << "OpenColorIO and ffmpeg run on the build machine, not under Wine";
#endif
    const int w = 64, h = 32;
    const BlockFrame in = block_frame(w, h, 3);
    std::string colours;
    char line[96];
    for (const lutref::Rgb& c : in.colours) {
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", c.r, c.g, c.b);
        colours += line;
    }
    const std::string coloursPath = lutref::write_text(mFolder + "/colours.txt", colours);
    const std::string command = std::string("/usr/bin/python3 ") + LUTGRADE_TEST_SOURCE +
                                "/ocio_reference.py " + mFolder + " " + coloursPath;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    CaptureStdout();
    Lut3D lut(2);
    GetCapturedStdout();
    std::ifstream cases(mFolder + "/cases.txt");
    std::string name;
    int edge = 0, count = 0;
    while (cases >> name >> edge) {
        ++count;
        const std::string table = mFolder + "/" + name;
        const lutref::Nv12 ours = graded_by_file(lut, table, edge, in.frame, w, h);
        std::ifstream ref(table + ".ref");
        std::vector<lutref::Rgb> theirs;
        for (lutref::Rgb c; ref >> c.r >> c.g >> c.b;) theirs.push_back(c);
        ASSERT_EQ(theirs.size(), in.colours.size()) << name;
        const int worst = worst_against(ours, w, theirs);
        EXPECT_LE(worst, 1) << name;

        const std::vector<lutref::Rgb> ffmpeg = ffmpeg_graded(table, in.colours);
        const int ffmpegWorst = ffmpeg.empty() ? -1 : worst_against(ours, w, ffmpeg);
        if (name == "flame.3dl" || name == "lustre.3dl" || name == "resolve.cube") {
            EXPECT_EQ(std::max(ffmpegWorst, 1), 1) << name << ": ffmpeg " << ffmpegWorst;
        }
        std::printf("%-16s largest difference from OpenColorIO %d, from ffmpeg %s\n", name.c_str(),
                    worst, ffmpeg.empty() ? "(refused)" : std::to_string(ffmpegWorst).c_str());
    }
    EXPECT_EQ(count, 18);
}

// The strength blends the table towards the identity from the next frame on:
// 0 grades like the identity table, 1 like the table alone, 0.5 like the mean
// of the two; a strength outside 0..1 is refused and changes nothing.
TEST_F(Lut3DFile, StrengthBlendsTowardsTheIdentity) {
    const int w = 64, h = 16;
    const lutref::Nv12 in = lutref::sample_nv12(w, h, 21);
    CaptureStdout();
    Lut3D lut(2);
    ASSERT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 17), 0);
    const lutref::Nv12 full = lutref::grade_with(lut, in, w, h);
    const std::string identityPath =
        lutref::write_text(mFolder + "/identity.cube", cube_of(lutref::identity_table(17)));
    Lut3D plain(2);
    ASSERT_EQ(plain.load_filter_of_cube_3dl_file(identityPath.c_str(), 17), 0);
    const lutref::Nv12 identity = lutref::grade_with(plain, in, w, h);
    lut.set_strength(0.0f);
    const lutref::Nv12 none = lutref::grade_with(lut, in, w, h);
    lut.set_strength(0.5f);
    const lutref::Nv12 half = lutref::grade_with(lut, in, w, h);
    lut.set_strength(1.5f);
    const lutref::Nv12 refused = lutref::grade_with(lut, in, w, h);
    const std::string out = GetCapturedStdout();

    EXPECT_LE(lutref::max_difference(none.y, identity.y), 1);
    EXPECT_LE(lutref::max_difference(none.uv, identity.uv), 1);
    EXPECT_GT(lutref::max_difference(full.y, identity.y), 10) << "the look changes colours";
    auto mean = [](const Bytes& a, const Bytes& b) {
        Bytes m(a.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            m[i] = static_cast<std::uint8_t>((a[i] + b[i] + 1) / 2);
        return m;
    };
    EXPECT_LE(lutref::max_difference(half.y, mean(full.y, identity.y)), 1);
    EXPECT_LE(lutref::max_difference(half.uv, mean(full.uv, identity.uv)), 1);
    EXPECT_EQ(refused.y, half.y);
    EXPECT_NE(out.find("Error @set_strength(1.5):-1\n"), std::string::npos) << out;

    // Back to 1: the table as loaded; a table loaded later keeps the strength.
    lut.set_strength(1.0f);
    EXPECT_EQ(lutref::grade_with(lut, in, w, h).y, full.y);
    lut.set_strength(0.0f);
    CaptureStdout();
    ASSERT_EQ(lut.load_filter_of_cube_3dl_file(mLookPath.c_str(), 17), 0);
    GetCapturedStdout();
    EXPECT_EQ(lutref::grade_with(lut, in, w, h).y, none.y);
}

std::string three_dl_entries(int count, const std::string& entry) {
    std::string text;
    for (int i = 0; i < count; ++i) text += entry + "\n";
    return text;
}

// Each broken file is refused with one reason line naming it, printed before
// the reader's own lines (which stay), and the current table grades on as before.
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
        {"short-shaper.cube", "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n1 1 1\n" + two + "1 1 1\n",
         "expected 11 entries (3 + 2^3), found 10"},
        {"above.3dl", "Mesh 4 10\n0 1023\n" + three_dl_entries(8, "1023 1024 0"),
         "value above full scale on line 3: 1024 (at most 1023)"},
        {"short-curve.csp", "CSPLUTV100\n3D\n3\n0 0.5 1\n0 0.5\n", "short pre-curve on line 5"},
        {"short.3dl", threeDl100, "expected 125 entries (5^3), found 100"},
        {"short.cube", "LUT_3D_SIZE 2\n" + two, "expected 8 entries (2^3), found 7"},
        {"wrapping.cube", "LUT_3D_SIZE 4294967298\n" + two + "1 1 1\n",
         "size out of range: LUT_3D_SIZE 4294967298"},
        {"fraction.cube", "LUT_3D_SIZE 2.5\n" + two + "1 1 1\n",
         "size out of range: LUT_3D_SIZE 2.5"},
        {"big.cube", "LUT_3D_SIZE 257\n" + two + "1 1 1\n", "size out of range: LUT_3D_SIZE 257"},
        {"domain.cube", "DOMAIN_MIN 0 1 0\nDOMAIN_MAX 1 1 1\nLUT_3D_SIZE 2\n" + two + "1 1 1\n",
         "the input range is empty or reversed"},
        {"empty.cube", "", "no entries"},
        {"titled.cube", "TITLE \"only a title\"\n# and a comment\n", "no entries"},
        {"missing.cube", "", "cannot open"},
        {"folder.cube", "", "is a directory"},
        {"look.cub", cube_of(mLook), "unsupported extension"},
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
