// Sizes and launch grids of the version-2 keyer for a w x h frame.
#pragma once

#include "keyers/launch_grid.h"

namespace cmatte {

struct Ver2Geometry {
    int qw, qh;        // working size of the guided filter
    int fullW, fullH;  // the enlarged coefficient planes Ga, Gb: 4 qw x 4 qh
    Grid frame;        // (w/4, h): texels of the frame
    Grid nv12Blend;    // (w/4, h/2)
    Grid quarter;      // ((qw + 3)/4, qh): texels of the quarter planes
    Grid box;          // (qw/4, qh)
    Grid upsample;     // (qw, qh): quarter pixels
};

Ver2Geometry ver2_geometry(int w, int h);

}  // namespace cmatte
