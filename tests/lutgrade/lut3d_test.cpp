// The exported class as a host application uses it.
#include "lutgrade/Lut3D.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "cpu_reference.h"
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
    std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", t.bytes[e] / 255.0, t.bytes[e + 1] / 255.0,
                  t.bytes[e + 2] / 255.0);
    text += line;
  }
  return text;
}

class Lut3DFile : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = lutref::test_folder();
    look_ = lutref::warm_look_table(17);
    lookPath_ = lutref::write_text(folder_ + "/look.cube", cube_of(look_));
  }
  std::string folder_, lookPath_;
  lutref::Table look_;
};

TEST_F(Lut3DFile, GradesWithALoadedCubeFile) {
  CaptureStdout();
  Lut3D lut(2);
  const int w = 64, h = 16;
  const lutref::Nv12 in = lutref::sample_nv12(w, h, 11);
  EXPECT_EQ(lutref::grade_with(lut, in, w, h).y, Bytes(in.y.size(), 0)) << "no table yet: untouched";
  EXPECT_EQ(lut.load_filter_of_cube_3dl_file(lookPath_.c_str(), 17), 0);
  const lutref::Nv12 got = lutref::grade_with(lut, in, w, h);
  GetCapturedStdout();
  const lutref::Nv12 want = lutref::grade_nv12(look_, w, h, in);
  EXPECT_LE(lutref::max_difference(got.y, want.y), 3);
  EXPECT_LE(lutref::max_difference(got.uv, want.uv), 3);
}

TEST_F(Lut3DFile, AFailedLoadKeepsTheCurrentTable) {
  CaptureStdout();
  Lut3D lut(2);
  ASSERT_EQ(lut.load_filter_of_cube_3dl_file(lookPath_.c_str(), 17), 0);
  const int w = 36, h = 10;
  const lutref::Nv12 in = lutref::sample_nv12(w, h, 12);
  const lutref::Nv12 before = lutref::grade_with(lut, in, w, h);
  GetCapturedStdout();

  const std::string capitalised = lutref::write_text(folder_ + "/look.Cube", cube_of(look_));
  const std::string badSize = lutref::write_text(folder_ + "/bad.cube", "LUT_3D_SIZE 300\n0 0 0\n");
  CaptureStdout();
  EXPECT_NE(lut.load_filter_of_cube_3dl_file(capitalised.c_str(), 33), 0);
  EXPECT_NE(lut.load_filter_of_cube_3dl_file((folder_ + "/missing.cube").c_str(), 9), 0);
  EXPECT_NE(lut.load_filter_of_cube_3dl_file(badSize.c_str(), 17), 0);
  EXPECT_NE(lut.load_filter_of_cube_3dl_file(nullptr, 17), 0);
  EXPECT_EQ(lut.load_filter_of_cube_3dl_file(lookPath_.c_str(), 1), -1);
  EXPECT_EQ(lut.load_filter_of_cube_3dl_file(lookPath_.c_str(), 257), -1);
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find(" can not open .CUBE file\n"), std::string::npos);
  EXPECT_NE(out.find("Error @load_filter_of_cube_3dl_file(lutSize=257):-1\n"), std::string::npos) << out;

  const lutref::Nv12 after = lutref::grade_with(lut, in, w, h);
  EXPECT_EQ(after.y, before.y);
  EXPECT_EQ(after.uv, before.uv);
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
