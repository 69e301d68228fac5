// lutgrade-cli as a user runs it: files, pipes, and refusals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cpu_reference.h"
#include "lutgrade/Lut3D.h"
#include "tables/OrvalenQcom3DLUT.h"
#include "tables/table_file_reader.h"
#include "test_files.h"

namespace {

using lutref::Bytes;

class Cli : public testing::Test {
protected:
    void SetUp() override {
        mDir = lutref::test_folder();
        std::string cube = "LUT_3D_SIZE 2\n";
        for (const char* e :
             {"0 0 0", "1 0 0", "0 0.6 0", "1 1 0", "0 0 1", "0.2 0 1", "0 1 1", "1 1 1"})
            cube += std::string(e) + "\n";
        mLut = lutref::write_text(mDir + "/look.cube", cube);
        const lutref::Nv12 a = lutref::sample_nv12(mW, mH, 1), b = lutref::sample_nv12(mW, mH, 2);
        for (const lutref::Nv12* f : {&a, &b}) {
            mFrames.insert(mFrames.end(), f->y.begin(), f->y.end());
            mFrames.insert(mFrames.end(), f->uv.begin(), f->uv.end());
        }
        write(mDir + "/in.nv12", mFrames);
    }

    // Runs the tool through the shell; returns its exit status, stderr in mErr.
    int run(const std::string& args, const std::string& prefix = "") {
        const std::string command = prefix + LUTGRADE_CLI + " " + args + " 2>" + mDir + "/err.txt";
        const int raw = std::system(command.c_str());
        mErr = read_text(mDir + "/err.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    static std::string read_text(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    static void write(const std::string& path, const Bytes& bytes) {
        lutref::write_text(path, std::string(bytes.begin(), bytes.end()));
    }

    // What the library itself makes of the frames, with the table load gives it.
    template <class Load>
    Bytes graded_by_library(Load load) {
        testing::internal::CaptureStdout();
        Lut3D lut(0);
        load(lut);
        Bytes out = mFrames;
        const std::size_t frame = mW * mH * 3 / 2;
        for (std::size_t at = 0; at < out.size(); at += frame)
            lut.exec_3DLut_NV12(mW, mH, &out[at], &out[at + mW * mH], &out[at], &out[at + mW * mH]);
        testing::internal::GetCapturedStdout();
        return out;
    }
    Bytes graded_by_library() {
        return graded_by_library(
            [&](Lut3D& lut) { lut.load_filter_of_cube_3dl_file(mLut.c_str(), 33); });
    }

    std::string common() const { return "--lut " + mLut + " --size 36x10 --format nv12"; }

    const int mW = 36, mH = 10;
    std::string mDir, mLut, mErr;
    Bytes mFrames;
};

TEST_F(Cli, GradesAFileWithProgressOnStandardError) {
    ASSERT_EQ(run(common() + " -i " + mDir + "/in.nv12 -o " + mDir + "/out.nv12"), 0) << mErr;
    const std::string out = read_text(mDir + "/out.nv12");
    EXPECT_EQ(Bytes(out.begin(), out.end()), graded_by_library());
    EXPECT_NE(mErr.find("frames: 2  fps: "), std::string::npos) << mErr;
}

TEST_F(Cli, WorksInAPipeWithOnlyFramesOnStandardOutput) {
    const std::string out = mDir + "/piped.nv12";
    ASSERT_EQ(run(common() + " < " + mDir + "/in.nv12 > " + out), 0) << mErr;
    const std::string piped = read_text(out);
    EXPECT_EQ(Bytes(piped.begin(), piped.end()), graded_by_library())
        << "diagnostics must not reach the frames";
    EXPECT_NE(mErr.find("CL_PLATFORM_NAME:"), std::string::npos)
        << "the library's lines go to standard error";
}

TEST_F(Cli, RefusesBadArgumentsAndBadFiles) {
    EXPECT_EQ(run("--lut " + mLut + " --size 36x10 --format rgb < /dev/null"), 2);
    EXPECT_NE(mErr.find("--format must be"), std::string::npos);
    EXPECT_EQ(run("--lut " + mLut + " --size 30x10 --format nv12 < /dev/null"), 2);
    EXPECT_NE(mErr.find("multiple of 4"), std::string::npos);
    EXPECT_EQ(run("--lut " + mLut + " --size big --format nv12 < /dev/null"), 2);
    EXPECT_EQ(run("--lut " + mLut + " --size 400000x400000 --format nv12 < /dev/null"), 2);
    EXPECT_EQ(run("--size 36x10 --format nv12 < /dev/null"), 2);
    EXPECT_EQ(run("--lut " + mLut + " --size 36x10 --format nv12 --lut-size 1 < /dev/null"), 2);
    EXPECT_EQ(
        run("--lut " + mDir + "/missing.cube --size 36x10 --format nv12 < /dev/null > /dev/null"),
        1);
    EXPECT_NE(
        mErr.find("lutgrade-cli: cannot load the table " + mDir + "/missing.cube: cannot open"),
        std::string::npos)
        << mErr;
    const std::string shortCube =
        lutref::write_text(mDir + "/short.cube", "LUT_3D_SIZE 2\n0 0 0\n");
    EXPECT_EQ(run("--lut " + shortCube + " --write-cube " + mDir + "/w.cube"), 1);
    EXPECT_NE(
        mErr.find("cannot load the table " + shortCube + ": expected 8 entries (2^3), found 1"),
        std::string::npos)
        << mErr;
    EXPECT_EQ(run("--lut " + mLut + " --size 36x10 --format nv12 --lut-size 257 < /dev/null"), 2);
    EXPECT_NE(mErr.find("--lut-size must be 2 to 256"), std::string::npos) << mErr;
    EXPECT_EQ(run("--lut " + mLut + " --size 36x10 --format nv12 --gpu-priority 1.5 < /dev/null"),
              2);
    EXPECT_NE(mErr.find("--gpu-priority wants a whole number"), std::string::npos) << mErr;
    EXPECT_EQ(run("--help > " + mDir + "/help.txt"), 0) << mErr;
    EXPECT_NE(read_text(mDir + "/help.txt").find("usage: lutgrade-cli"), std::string::npos);
    EXPECT_EQ(run(common() + " -o " + mDir + "/empty-out.nv12 < /dev/null"), 1);
    EXPECT_NE(mErr.find("the input holds no frame"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(mDir + "/empty-out.nv12").good());
    EXPECT_EQ(run(common() + " -i " + mDir + "/missing.nv12 -o " + mDir + "/x.nv12"), 1);
}

TEST_F(Cli, ATruncatedInputLeavesNoOutputFile) {
    write(mDir + "/short.nv12", Bytes(mFrames.begin(), mFrames.begin() + mFrames.size() * 3 / 4));
    EXPECT_EQ(run(common() + " -i " + mDir + "/short.nv12 -o " + mDir + "/short-out.nv12"), 1);
    EXPECT_NE(mErr.find("the input ends inside frame 2"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(mDir + "/short-out.nv12").good());
    EXPECT_FALSE(std::ifstream(mDir + "/short-out.nv12.part").good());
}

// With no PATH (and no kernel cache), PoCL cannot find the linker and aborts in the first kernel
// launch; the tool must end with its own line and status 1, not the abort's
// status, and leave no .part file. A runtime that builds without ld grades.
TEST_F(Cli, ARuntimeAbortEndsWithOneLineAndNoPartFile) {
    const std::string out = mDir + "/no-path.nv12";
    const int status =
        run(common() + " -i " + mDir + "/in.nv12 -o " + out, "env -i POCL_KERNEL_CACHE=0 ");
    if (status == 0) GTEST_SKIP() << "this OpenCL runtime builds kernels without ld";
    EXPECT_EQ(status, 1) << mErr;
    EXPECT_NE(mErr.find("lutgrade-cli: stopped: the OpenCL runtime"), std::string::npos) << mErr;
    EXPECT_FALSE(std::ifstream(out + ".part").good());
}

// -o keeps what OUT is: a FIFO's reader gets every byte, a symlink's target
// gets the data and the link stays, a character device stays a device (a
// private null device, made only when running as root); a directory is
// refused before any frame is read.
TEST_F(Cli, OutputKeepsWhatItWritesTo) {
    const Bytes want = graded_by_library();
    const std::string in = " -i " + mDir + "/in.nv12";

    const std::string fifo = mDir + "/out.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = read_text(fifo); });
    EXPECT_EQ(run(common() + in + " -o " + fifo), 0) << mErr;
    reader.join();
    EXPECT_EQ(Bytes(fromFifo.begin(), fromFifo.end()), want);
    struct stat info {};
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    const std::string link = mDir + "/link.nv12", target = mDir + "/target.nv12";
    ASSERT_EQ(symlink("target.nv12", link.c_str()), 0);
    for (int round = 0; round < 2; ++round) {  // first to nothing, then to the file the first made
        EXPECT_EQ(run(common() + in + " -o " + link), 0) << mErr;
        const std::string written = read_text(target);
        EXPECT_EQ(Bytes(written.begin(), written.end()), want) << round;
        ASSERT_EQ(lstat(link.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << round;
    }

    if (geteuid() == 0) {
        const std::string null = mDir + "/null";
        ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
        EXPECT_EQ(run(common() + in + " -o " + null), 0) << mErr;
        ASSERT_EQ(lstat(null.c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_FALSE(std::ifstream(null + ".part").good());
    }

    EXPECT_EQ(run(common() + in + " -o " + mDir), 1);
    EXPECT_NE(mErr.find("lutgrade-cli: cannot write " + mDir + ": it is a directory"),
              std::string::npos)
        << mErr;
    EXPECT_EQ(mErr.find("CL_PLATFORM_NAME"), std::string::npos)
        << "refused before the table and frames: " << mErr;
}

// SIGTERM and SIGINT while frames are awaited remove OUT.part.
TEST_F(Cli, SignalsRemoveThePartFile) {
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string out = mDir + "/signalled.nv12";
        std::string args[] = {LUTGRADE_CLI, "--lut", mLut, "--size", "36x10",
                              "--format",   "nv12",  "-o", out};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        int input[2];
        ASSERT_EQ(pipe(input), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {  // only async-signal-safe calls after fork
            dup2(input[0], 0);
            close(input[1]);
            dup2(open("/dev/null", O_WRONLY), 2);
            execv(LUTGRADE_CLI, argv.data());
            _exit(127);
        }
        close(input[0]);
        for (int i = 0; i < 400 && !std::ifstream(out + ".part").good(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        EXPECT_TRUE(std::ifstream(out + ".part").good());
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        close(input[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_FALSE(std::ifstream(out + ".part").good()) << signal;
        EXPECT_FALSE(std::ifstream(out).good()) << signal;
    }
}

// Greens towards yellow, skin warmer, in the list format of --hsv.
const char kAdjustments[] =
    "# hue sat value  targetHue targetSat targetValue  hueShift mode\n"
    "120, 0.5, 0.6,  100, 0.6, 0.6,  0, 0   # greens towards yellow\n"
    "\n"
    "25 0 0  50 0.08 0.05  -6 1\n"
    "25\t0 0  50 0.08 0.05  0 1\r\n";

std::vector<Chi3dlutRgbcmyInfo> adjustments() {
    return {{120, 0.5f, 0.6f, 100, 0.6f, 0.6f, 0, 0},
            {25, 0, 0, 50, 0.08f, 0.05f, -6, 1},
            {25, 0, 0, 50, 0.08f, 0.05f, 0, 1}};
}

lutref::Table generated_table() {
    std::vector<Chi3dlutRgbcmyInfo> e = adjustments();
    Orvalen::OrvalenQcom3DLUT builder;
    return {17, builder.build(e.data(), static_cast<unsigned>(e.size()))};
}

// At a strength, as the library grades at that strength.
TEST_F(Cli, GradesWithAnAdjustmentList) {
    const std::string hsv = lutref::write_text(mDir + "/look.hsv", kAdjustments);
    ASSERT_EQ(run("--hsv " + hsv + " --strength 0.5 --size 36x10 --format nv12 -i " + mDir +
                  "/in.nv12 -o " + mDir + "/hsv.nv12"),
              0)
        << mErr;
    const std::string out = read_text(mDir + "/hsv.nv12");
    const Bytes want = graded_by_library([](Lut3D& lut) {
        std::vector<Chi3dlutRgbcmyInfo> e = adjustments();
        lut.load_filter_from_HSV(e.data(), static_cast<unsigned>(e.size()), 0);
        lut.set_strength(0.5f);
    });
    EXPECT_EQ(Bytes(out.begin(), out.end()), want);
    EXPECT_NE(want, mFrames);
}

// The table from --write-cube is the generated one, byte for byte, and grades
// like it when loaded back as a file.
TEST_F(Cli, WrittenCubeReadsBackToTheSameTable) {
    const std::string hsv = lutref::write_text(mDir + "/look.hsv", kAdjustments),
                      cube = mDir + "/look-out.cube";
    ASSERT_EQ(run("--hsv " + hsv + " --write-cube " + cube + " < /dev/null"), 0) << mErr;
    lutgrade::ParsedTable parsed;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(lutgrade::read_table_file(cube.c_str(), lutgrade::TableFormat::kCube, parsed));
    testing::internal::GetCapturedStdout();
    const lutref::Table table = generated_table();
    ASSERT_EQ(parsed.edge, 17);
    for (std::size_t e = 0; e < parsed.rgb.size() / 3; ++e)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(std::lround(parsed.rgb[3 * e + c] * 255.0f), table.bytes[4 * e + c])
                << "entry " << e;

    const Bytes fromFile =
        graded_by_library([&](Lut3D& lut) { lut.load_filter_of_cube_3dl_file(cube.c_str(), 17); });
    const Bytes generated = graded_by_library([](Lut3D& lut) {
        std::vector<Chi3dlutRgbcmyInfo> e = adjustments();
        lut.load_filter_from_HSV(e.data(), static_cast<unsigned>(e.size()), 0);
    });
    EXPECT_EQ(fromFile, generated);

    // From a table file: the table resampled to --lut-size.
    const std::string small = mDir + "/small.cube";
    ASSERT_EQ(run("--lut " + mLut + " --lut-size 5 --write-cube " + small), 0) << mErr;
    const std::string smallText = read_text(small);
    EXPECT_NE(smallText.find("LUT_3D_SIZE 5\n"), std::string::npos);
    EXPECT_EQ(std::count(smallText.begin(), smallText.end(), '\n'), 2 + 125);
}

// ffmpeg's lut3d filter reads the written file and grades an RGB picture as
// our reference interpolation does.
TEST_F(Cli, FfmpegGradesWithTheWrittenCube) {
    const std::string hsv = lutref::write_text(mDir + "/look.hsv", kAdjustments),
                      cube = mDir + "/look-out.cube";
    ASSERT_EQ(run("--hsv " + hsv + " --write-cube " + cube), 0) << mErr;
    const int w = 96, h = 64;
    Bytes rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &rgb[3 * (static_cast<std::size_t>(y) * w + x)];
            p[0] = static_cast<std::uint8_t>(x * 255 / (w - 1));
            p[1] = static_cast<std::uint8_t>(255 - y * 255 / (h - 1));
            p[2] = static_cast<std::uint8_t>((x * 7 + y * 13) % 256);
        }
    write(mDir + "/in.rgb", rgb);
    const std::string command = "ffmpeg -nostdin -v error -f rawvideo -pix_fmt rgb24 -s 96x64 -i " +
                                mDir + "/in.rgb -vf lut3d=file=" + cube +
                                ":interp=tetrahedral -f rawvideo -pix_fmt rgb24 -y " + mDir +
                                "/out.rgb 2>" + mDir + "/ffmpeg.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << read_text(mDir + "/ffmpeg.txt");
    const std::string out = read_text(mDir + "/out.rgb");
    ASSERT_EQ(out.size(), rgb.size());

    const lutref::Table table = generated_table();
    int worst = 0, changed = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        const lutref::Rgb want =
            lutref::lookup(table, {rgb[i] / 255.0f, rgb[i + 1] / 255.0f, rgb[i + 2] / 255.0f});
        const float ch[3] = {want.r, want.g, want.b};
        for (int c = 0; c < 3; ++c) {
            const int got = static_cast<std::uint8_t>(out[i + c]);
            worst = std::max(worst, std::abs(got - static_cast<int>(ch[c] * 255.0f + 0.5f)));
            changed = std::max(changed, std::abs(got - rgb[i + c]));
        }
    }
    EXPECT_LE(worst, 3);
    std::printf("largest difference from the reference: %d\n", worst);
    EXPECT_GT(changed, 10) << "the look changes colours";
}

TEST_F(Cli, RefusesBadAdjustmentListsAndOptions) {
    const std::string hsv = lutref::write_text(mDir + "/look.hsv", kAdjustments);
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"120 0.5 0.6 100 0.6 0.6 0\n", "line 1: expected 8 fields"},
        {"# ok\n120 0.5 0.6 100 0.6 0.6 0 0\n1 2 x 4 5 6 7 0\n",
         "line 3: 'x' is not a finite number"},
        {"120 0.5 nan 100 0.6 0.6 0 0\n", "'nan' is not a finite number"},
        {"120 0.5 0.6 100 0.6 0.6 0 2\n", "mode must be 0"},
        {"120 0.5 0.6 100 0.6 0.6 0 0.5\n", "mode must be 0"},
    };
    for (const Case& c : cases) {
        const std::string bad = lutref::write_text(mDir + "/bad.hsv", c.text);
        EXPECT_EQ(run("--hsv " + bad + " --write-cube " + mDir + "/bad.cube"), 1) << c.text;
        EXPECT_NE(mErr.find(c.message), std::string::npos) << mErr;
        EXPECT_FALSE(std::ifstream(mDir + "/bad.cube").good());
    }
    std::string many;
    for (int i = 0; i < 1025; ++i) many += "120 0.5 0.6 100 0.6 0.6 0 0\n";
    EXPECT_EQ(run("--hsv " + lutref::write_text(mDir + "/many.hsv", many) + " --write-cube " +
                  mDir + "/m.cube"),
              1);
    EXPECT_NE(mErr.find("more than 1024 adjustments"), std::string::npos) << mErr;
    EXPECT_EQ(run("--hsv " + mDir + " --write-cube " + mDir + "/m.cube"), 1) << "a folder";
    EXPECT_NE(mErr.find("cannot read"), std::string::npos) << mErr;

    EXPECT_EQ(run("--hsv " + hsv + " --lut " + mLut + " --write-cube " + mDir + "/x.cube"), 2);
    EXPECT_EQ(run("--hsv " + hsv + " --lut-size 33 --write-cube " + mDir + "/x.cube"), 2);
    EXPECT_EQ(run("--hsv " + hsv + " --strength 1.5 --write-cube " + mDir + "/x.cube"), 2);
    EXPECT_EQ(run("--hsv " + hsv + " --write-cube " + mDir + "/x.cube --size 36x10 < /dev/null"), 2)
        << "grading needs --format too";
    EXPECT_EQ(run("--hsv " + hsv + " --write-cube " + mDir + "/no-such-folder/x.cube"), 1);
    EXPECT_NE(mErr.find("cannot write"), std::string::npos) << mErr;
}

}  // namespace
