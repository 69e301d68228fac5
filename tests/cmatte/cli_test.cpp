// cmatte-cli as a user runs it: files, pipes, still and moving backgrounds, refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "key_scene.h"
#include "keyer_run.h"

namespace {

using testframes::Bytes;
using testframes::Frame;
using testframes::Layout;

constexpr int kW = 160, kH = 120;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string bytes_of(const Frame& f) {
    std::string s;
    for (const Bytes& p : f.planes) s.append(p.begin(), p.end());
    return s;
}

class Cli : public testing::Test {
protected:
    void SetUp() override {
        mDir = std::string(std::getenv("PROJECT_BINARY_DIR")) + "/test-home/cmatte-cli-" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf " + mDir + " && mkdir -p " + mDir).c_str());
        mScene = testframes::make_key_scene(kW, kH, testframes::Backdrop::kGreen, 9);
    }

    int run(const std::string& args) {
        const std::string command =
            std::string(CMATTE_CLI) + " " + args + " 2>" + mDir + "/err.txt";
        const int raw = std::system(command.c_str());
        mErr = read_file(mDir + "/err.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(mDir + "/" + name, std::ios::binary) << bytes;
    }

    // The library's own composite of the scene's camera over a background.
    std::string keyed(Layout layout, const testframes::Picture& background) {
        testing::internal::CaptureStdout();
        ColorMatting cm(2, 0);
        cm.setParams_KeyColor(2);
        Frame out = testframes::blank_frame(layout, kW, kH, 0);
        key_frame(cm, testframes::to_frame(mScene.camera, layout),
                  testframes::to_frame(background, layout), out);
        testing::internal::GetCapturedStdout();
        return bytes_of(out);
    }

    std::string mDir, mErr;
    testframes::KeyScene mScene;
};

TEST_F(Cli, KeysFilesAndPipesAlike) {
    for (Layout layout : {Layout::kNV12, Layout::kI420, Layout::kYUY2}) {
        const std::string format = layout == Layout::kNV12   ? "nv12"
                                   : layout == Layout::kI420 ? "i420"
                                                             : "yuy2";
        const std::string cam = bytes_of(testframes::to_frame(mScene.camera, layout));
        write("cam.raw", cam + cam + cam);
        write("bg.raw", bytes_of(testframes::to_frame(mScene.background, layout)));
        const std::string common =
            " --size 160x120 --format " + format + " --key green -b " + mDir + "/bg.raw";
        ASSERT_EQ(run(common + " -i " + mDir + "/cam.raw -o " + mDir + "/out.raw"), 0) << mErr;
        EXPECT_NE(mErr.find("frames: 3"), std::string::npos) << mErr;
        EXPECT_NE(mErr.find("fps:"), std::string::npos);
        const std::string one = keyed(layout, mScene.background);
        EXPECT_EQ(read_file(mDir + "/out.raw"), one + one + one) << format;

        ASSERT_EQ(run("< " + mDir + "/cam.raw" + common + " > " + mDir + "/piped.raw"), 0) << mErr;
        EXPECT_EQ(read_file(mDir + "/piped.raw"), one + one + one) << format;
    }
}

TEST_F(Cli, MovingBackgroundKeepsItsLastFrame) {
    testframes::Picture dark = mScene.background;
    for (auto& p : dark.px) p = {p.r * 0.3f, p.g * 0.3f, p.b * 0.3f};
    const std::string cam = bytes_of(testframes::to_frame(mScene.camera, Layout::kNV12));
    write("cam.raw", cam + cam + cam);
    write("bg.raw", bytes_of(testframes::to_frame(mScene.background, Layout::kNV12)) +
                        bytes_of(testframes::to_frame(dark, Layout::kNV12)));
    ASSERT_EQ(run("--size 160x120 --format nv12 -b " + mDir + "/bg.raw -i " + mDir +
                  "/cam.raw -o " + mDir + "/out.raw"),
              0)
        << mErr;
    EXPECT_EQ(read_file(mDir + "/out.raw"), keyed(Layout::kNV12, mScene.background) +
                                                keyed(Layout::kNV12, dark) +
                                                keyed(Layout::kNV12, dark));
}

TEST_F(Cli, RefusesBadInputWithAClearMessage) {
    const std::string cam = bytes_of(testframes::to_frame(mScene.camera, Layout::kNV12));
    write("cam.raw", cam + cam.substr(0, 100));
    write("bg.raw", bytes_of(testframes::to_frame(mScene.background, Layout::kNV12)));
    const std::string files =
        " -b " + mDir + "/bg.raw -i " + mDir + "/cam.raw -o " + mDir + "/out.raw";

    EXPECT_EQ(run("--size 160x120 --format nv12" + files), 1);
    EXPECT_NE(mErr.find("ends inside frame 2"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(mDir + "/out.raw").good());
    EXPECT_FALSE(std::ifstream(mDir + "/out.raw.part").good());

    EXPECT_EQ(run("--size 162x120 --format nv12" + files), 2);
    EXPECT_NE(mErr.find("multiple of 4"), std::string::npos) << mErr;
    EXPECT_EQ(run("--size 160x120 --format rgb" + files), 2);
    EXPECT_EQ(run("--size 160x120 --format nv12 --key purple" + files), 2);
    EXPECT_EQ(run("--size 160x120 --format nv12 -i " + mDir + "/cam.raw"), 2);
    EXPECT_NE(mErr.find("-b"), std::string::npos) << mErr;
    EXPECT_EQ(
        run("--size 160x120 --format nv12 -b " + mDir + "/missing.raw -i " + mDir + "/cam.raw"), 1);
    EXPECT_NE(mErr.find("cannot open"), std::string::npos) << mErr;
    EXPECT_EQ(run("--size 320x240 --format nv12" + files), 1);  // background shorter than one frame
    EXPECT_NE(mErr.find("no whole"), std::string::npos) << mErr;
}

// Numeric options out of their ranges, version 1 with I420, --help, empty
// camera input and a directory as output (refused before any frame is read).
TEST_F(Cli, RefusesOptionsOutOfRangeAndEmptyInput) {
    write("cam.raw", bytes_of(testframes::to_frame(mScene.camera, Layout::kNV12)));
    write("bg.raw", bytes_of(testframes::to_frame(mScene.background, Layout::kNV12)));
    const std::string files =
        " -b " + mDir + "/bg.raw -i " + mDir + "/cam.raw -o " + mDir + "/out.raw";
    struct Case {
        const char* options;
        const char* message;
    } cases[] = {
        {"--key 7", "--key wants green, blue, digital-green or a code from 1 to 3"},
        {"--key -1", "--key wants"},
        {"--key 0", "--key wants"},
        {"--coff nan", "--coff must be a number above 0 and at most 4.25"},
        {"--coff -1", "--coff must be"},
        {"--coff 0", "--coff must be"},
        {"--coff 1e30", "--coff must be"},
        {"--coff inf", "--coff must be"},
        {"--similar nan --version 1", "--similar wants a number"},
        {"--similar -5 --version 1", "--similar must lie from 0 to 1"},
        {"--similar 1.5 --version 1", "--similar must lie from 0 to 1"},
        {"--version 3", "--version must be 1 or 2"},
        {"--gpu-priority x", "--gpu-priority wants a whole number"},
        {"--spill -0.1", "--spill must lie from 0 to 4"},
        {"--spill 4.5", "--spill must lie"},
        {"--spill nan", "--spill must lie"},
        {"--spill-range 9", "--spill-range must be a whole number from 0 to 8"},
        {"--spill-range 1.5", "--spill-range must be"},
        {"--levels 0.5,0.5", "--levels wants LO,HI with 0 <= LO < HI <= 1"},
        {"--levels -0.1,0.9", "--levels wants"},
        {"--levels 0.1,1.1", "--levels wants"},
        {"--levels 0.1", "--levels wants"},
        {"--garbage 0,0,0,10", "--garbage wants X,Y,W,H"},
        {"--garbage 1,2,3", "--garbage wants"},
        {"--holdout -1,0,10,10", "--holdout wants"},
        {"--holdout 100,0,61,10", "must lie inside the frame"},
        {"--refine --version 1", "apply to the version-2 keyer only"},
        {"--spill 2 --version 1", "apply to the version-2 keyer only"},
        {"--garbage 0,0,10,10 --version 1", "apply to the version-2 keyer only"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run("--size 160x120 --format nv12 " + std::string(c.options) + files), 2)
            << c.options;
        EXPECT_NE(mErr.find(c.message), std::string::npos) << c.options << ": " << mErr;
    }
    EXPECT_EQ(run("--size 160x120 --format i420 --version 1" + files), 2);
    EXPECT_NE(mErr.find("version 1 keys NV12 and YUY2 frames"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(mDir + "/out.raw").good());

    EXPECT_EQ(run("--help > " + mDir + "/help.txt"), 0) << mErr;
    const std::string help = read_file(mDir + "/help.txt");
    EXPECT_NE(help.find("usage: cmatte-cli"), std::string::npos);
    for (const char* option : {"--refine ", "--detail-keep ", "--unmix ", "--spill ",
                               "--spill-range ", "--levels ", "--garbage ", "--holdout "})
        EXPECT_NE(help.find(std::string("\n  ") + option), std::string::npos) << option;

    write("empty.raw", "");
    EXPECT_EQ(run("--size 160x120 --format nv12 -b " + mDir + "/bg.raw -i " + mDir +
                  "/empty.raw -o " + mDir + "/out.raw"),
              1);
    EXPECT_NE(mErr.find("the camera input holds no frame"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(mDir + "/out.raw").good());
    EXPECT_FALSE(std::ifstream(mDir + "/out.raw.part").good());

    EXPECT_EQ(run("--size 160x120 --format nv12 -b " + mDir + "/bg.raw -i " + mDir +
                  "/cam.raw -o " + mDir),
              1);
    EXPECT_NE(mErr.find("it is a directory"), std::string::npos) << mErr;
    EXPECT_EQ(mErr.find("frames:"), std::string::npos) << "no frame was read: " << mErr;
}

// The version-1 keyer with a poor similarity, calibrated on the first frame:
// the printed value lies inside the code's bounds and the next frame, keyed
// with it, is much closer to the truth than the first.
TEST_F(Cli, CalibrationPrintsTheSimilarityAndImprovesTheNextFrame) {
    const std::string cam = bytes_of(testframes::to_frame(mScene.camera, Layout::kYUY2));
    write("cam.raw", cam + cam);
    write("bg.raw", bytes_of(testframes::to_frame(mScene.background, Layout::kYUY2)));
    ASSERT_EQ(run("--size 160x120 --format yuy2 --version 1 --similar 0.1 --calibrate -b " + mDir +
                  "/bg.raw -i " + mDir + "/cam.raw -o " + mDir + "/out.raw"),
              0)
        << mErr;
    const std::size_t at = mErr.find("calibrated similarity ");
    ASSERT_NE(at, std::string::npos) << mErr;
    const float similar = std::strtof(mErr.c_str() + at + 22, nullptr);
    EXPECT_GE(similar, 0.35f);
    EXPECT_LE(similar, 0.5f);
    const std::string out = read_file(mDir + "/out.raw");
    ASSERT_EQ(out.size(), cam.size() * 2);
    Frame first = testframes::blank_frame(Layout::kYUY2, kW, kH, 0), second = first;
    first.planes[0].assign(out.begin(), out.begin() + cam.size());
    second.planes[0].assign(out.begin() + cam.size(), out.end());
    const Frame truth = testframes::to_frame(mScene.truth, Layout::kYUY2);
    EXPECT_GT(testframes::psnr(second, truth), testframes::psnr(first, truth) + 10.0);
}

}  // namespace
