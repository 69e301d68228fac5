// A host application built against the installed lutgrade.
#include <lutgrade/Lut3D.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Lut3D lut(0);
  if (lut.load_filter_of_cube_3dl_file(argv[1], 2) != 0) return 1;
  std::vector<unsigned char> y(8 * 2, 200), uv(8, 128), outY(16, 0), outUV(8, 0);
  lut.exec_3DLut_NV12(8, 2, y.data(), uv.data(), outY.data(), outUV.data());
  // The test table turns every colour black: luma 16.
  std::fprintf(stderr, "consumer: luma %d\n", outY[0]);
  return outY[0] == 16 ? 0 : 1;
}
