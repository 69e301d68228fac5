#include "keyers/v2/ver2_geometry.h"

namespace cmatte {

Ver2Geometry ver2_geometry(int w, int h) {
    Ver2Geometry g{};
    g.qw = round_up4(round_up4(w) / 4);
    g.qh = round_up4(round_up4(h) / 4);
    g.fullW = 4 * g.qw;
    g.fullH = 4 * g.qh;
    auto grid = [](int x, int y) {
        return Grid{static_cast<std::size_t>(x), static_cast<std::size_t>(y)};
    };
    g.frame = grid(w / 4, h);
    g.nv12Blend = grid(w / 4, h / 2);
    g.quarter = grid((g.qw + 3) / 4, g.qh);
    g.box = grid(g.qw / 4, g.qh);
    g.upsample = grid(g.qw, g.qh);
    return g;
}

}  // namespace cmatte
