// lutgrade-cli as a user runs it: files, pipes, and refusals.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "cpu_reference.h"
#include "lutgrade/Lut3D.h"
#include "test_files.h"

namespace {

using lutref::Bytes;

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = lutref::test_folder();
    std::string cube = "LUT_3D_SIZE 2\n";
    for (const char* e : {"0 0 0", "1 0 0", "0 0.6 0", "1 1 0", "0 0 1", "0.2 0 1", "0 1 1", "1 1 1"})
      cube += std::string(e) + "\n";
    lut_ = lutref::write_text(dir_ + "/look.cube", cube);
    const lutref::Nv12 a = lutref::sample_nv12(w_, h_, 1), b = lutref::sample_nv12(w_, h_, 2);
    for (const lutref::Nv12* f : {&a, &b}) {
      frames_.insert(frames_.end(), f->y.begin(), f->y.end());
      frames_.insert(frames_.end(), f->uv.begin(), f->uv.end());
    }
    write(dir_ + "/in.nv12", frames_);
  }

  // Runs the tool through the shell; returns its exit status, stderr in err_.
  int run(const std::string& args) {
    const std::string command = std::string(LUTGRADE_CLI) + " " + args + " 2>" + dir_ + "/err.txt";
    const int raw = std::system(command.c_str());
    err_ = read_text(dir_ + "/err.txt");
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

  // What the library itself makes of the frames.
  Bytes graded_by_library() {
    testing::internal::CaptureStdout();
    Lut3D lut(0);
    lut.load_filter_of_cube_3dl_file(lut_.c_str(), 33);
    Bytes out = frames_;
    const std::size_t frame = w_ * h_ * 3 / 2;
    for (std::size_t at = 0; at < out.size(); at += frame)
      lut.exec_3DLut_NV12(w_, h_, &out[at], &out[at + w_ * h_], &out[at], &out[at + w_ * h_]);
    testing::internal::GetCapturedStdout();
    return out;
  }

  std::string common() const { return "--lut " + lut_ + " --size 36x10 --format nv12"; }

  const int w_ = 36, h_ = 10;
  std::string dir_, lut_, err_;
  Bytes frames_;
};

TEST_F(Cli, GradesAFileWithProgressOnStandardError) {
  ASSERT_EQ(run(common() + " -i " + dir_ + "/in.nv12 -o " + dir_ + "/out.nv12"), 0) << err_;
  const std::string out = read_text(dir_ + "/out.nv12");
  EXPECT_EQ(Bytes(out.begin(), out.end()), graded_by_library());
  EXPECT_NE(err_.find("frames: 2  fps: "), std::string::npos) << err_;
}

TEST_F(Cli, WorksInAPipeWithOnlyFramesOnStandardOutput) {
  const std::string out = dir_ + "/piped.nv12";
  ASSERT_EQ(run(common() + " < " + dir_ + "/in.nv12 > " + out), 0) << err_;
  const std::string piped = read_text(out);
  EXPECT_EQ(Bytes(piped.begin(), piped.end()), graded_by_library()) << "diagnostics must not reach the frames";
  EXPECT_NE(err_.find("CL_PLATFORM_NAME:"), std::string::npos) << "the library's lines go to standard error";
}

TEST_F(Cli, RefusesBadArgumentsAndBadFiles) {
  EXPECT_EQ(run("--lut " + lut_ + " --size 36x10 --format rgb < /dev/null"), 2);
  EXPECT_NE(err_.find("--format must be"), std::string::npos);
  EXPECT_EQ(run("--lut " + lut_ + " --size 30x10 --format nv12 < /dev/null"), 2);
  EXPECT_NE(err_.find("multiple of 4"), std::string::npos);
  EXPECT_EQ(run("--lut " + lut_ + " --size big --format nv12 < /dev/null"), 2);
  EXPECT_EQ(run("--lut " + lut_ + " --size 400000x400000 --format nv12 < /dev/null"), 2);
  EXPECT_EQ(run("--size 36x10 --format nv12 < /dev/null"), 2);
  EXPECT_EQ(run("--lut " + lut_ + " --size 36x10 --format nv12 --lut-size 1 < /dev/null"), 2);
  EXPECT_EQ(run("--lut " + dir_ + "/missing.cube --size 36x10 --format nv12 < /dev/null > /dev/null"), 1);
  EXPECT_NE(err_.find("cannot load the table"), std::string::npos) << err_;
  EXPECT_EQ(run(common() + " -i " + dir_ + "/missing.nv12 -o " + dir_ + "/x.nv12"), 1);
}

TEST_F(Cli, ATruncatedInputLeavesNoOutputFile) {
  write(dir_ + "/short.nv12", Bytes(frames_.begin(), frames_.begin() + frames_.size() * 3 / 4));
  EXPECT_EQ(run(common() + " -i " + dir_ + "/short.nv12 -o " + dir_ + "/short-out.nv12"), 1);
  EXPECT_NE(err_.find("the input ends inside frame 2"), std::string::npos) << err_;
  EXPECT_FALSE(std::ifstream(dir_ + "/short-out.nv12").good());
  EXPECT_FALSE(std::ifstream(dir_ + "/short-out.nv12.part").good());
}

}  // namespace
