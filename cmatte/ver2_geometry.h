// Sizes and launch grids of the version-2 keyer for a w x h frame.
#pragma once

#include <cstddef>

namespace cmatte {

struct Grid {
  std::size_t x, y;
};

struct Ver2Geometry {
  int qw, qh;        // working size of the guided filter
  int fullW, fullH;  // the enlarged coefficient planes Ga, Gb: 4 qw x 4 qh
  Grid frame;        // (w/4, h): texels of the frame
  Grid nv12Blend;    // (w/4, h/2)
  Grid quarter;      // ((qw + 3)/4, qh): texels of the quarter planes
  Grid box;          // (qw/4, qh)
  Grid upsample;     // (qw, qh): quarter pixels
};

// x rounded up to a multiple of 4.
inline int round_up4(int x) { return (x + 3) / 4 * 4; }

Ver2Geometry ver2_geometry(int w, int h);

}  // namespace cmatte
