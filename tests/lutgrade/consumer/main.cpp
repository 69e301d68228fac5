// A host application built against the installed lutgrade.
#include <lutgrade/Lut3D.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    // A table that turns every colour black.
    const std::string cube = std::string(argv[1]) + "/black.cube";
    std::FILE* f = std::fopen(cube.c_str(), "w");
    if (!f) return 1;
    std::fputs("LUT_3D_SIZE 2\n", f);
    for (int i = 0; i < 8; ++i) std::fputs("0 0 0\n", f);
    std::fclose(f);
    Lut3D lut(0);
    if (lut.load_filter_of_cube_3dl_file(cube.c_str(), 2) != 0) return 1;
    std::vector<unsigned char> y(8 * 2, 200), uv(8, 128), outY(16, 0), outUV(8, 0);
    lut.exec_3DLut_NV12(8, 2, y.data(), uv.data(), outY.data(), outUV.data());
    // The test table turns every colour black: luma 16.
    std::fprintf(stderr, "consumer: luma %d\n", outY[0]);
    return outY[0] == 16 ? 0 : 1;
}
