// A host application built against the installed cmatte.
#include <cmatte/ColorMatting.h>

#include <cstdio>
#include <vector>

int main() {
    ColorMatting cm(2, 0);
    if (!cm.ready || cm.getVersion() != 2000) return 1;
    cm.setParams_KeyColor(2);
    // A frame of pure studio green over a mid-grey background: all backdrop.
    const int w = 16, h = 4;
    std::vector<unsigned char> camY(w * h, 130), camUV(w * h / 2), bgY(w * h, 126),
        bgUV(w * h / 2, 128);
    for (int i = 0; i < w * h / 2; i += 2) {
        camUV[i] = 70;      // Cb
        camUV[i + 1] = 60;  // Cr
    }
    std::vector<unsigned char> outY(w * h, 0), outUV(w * h / 2, 0);
    cm.exec_ColorMatting_NV12(w, h, camY.data(), camUV.data(), bgY.data(), bgUV.data(), outY.data(),
                              outUV.data());
    std::fprintf(stderr, "consumer: luma %d\n", outY[w + 4]);
    return outY[w + 4] == 126 ? 0 : 1;
}
