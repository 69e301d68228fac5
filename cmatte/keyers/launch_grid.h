// Launch grids of both keyers: frames are processed four pixels per work-item.
#pragma once

#include <cstddef>

namespace cmatte {

struct Grid {
    std::size_t x, y;
};

// x rounded up to a multiple of 4.
inline int round_up4(int x) { return (x + 3) / 4 * 4; }

}  // namespace cmatte
