#include "gpu_runtime/local_size.h"

#include <algorithm>

namespace gpurt {
namespace {

// The largest power of two dividing g, but no more than cap; stops early so a
// size of 0 cannot loop forever.
std::uint32_t power_of_two_part(std::size_t g, std::uint32_t cap) {
    std::uint32_t d = 2;
    while (d <= cap && g % d == 0) d *= 2;
    return d / 2;
}

}  // namespace

void LocalSizeCache::chooseLocalSize(std::size_t gx, std::size_t gy, std::size_t local[2]) {
    const auto key = static_cast<std::int32_t>((static_cast<std::uint32_t>(gx) << 16) |
                                               static_cast<std::uint32_t>(gy));
    auto found = mEntries.find(key);
    if (found == mEntries.end()) {
        const auto cap = static_cast<std::uint32_t>(mCap);
        std::uint32_t lx = std::min(power_of_two_part(gx, cap), cap);
        std::uint32_t ly = std::min(power_of_two_part(gy, cap), cap);
        if (lx * ly > 256) {
            if (gx > gy)
                ly = 256 / lx;
            else
                lx = 256 / ly;
        }
        found = mEntries.emplace(key, (lx << 16) | ly).first;
    }
    local[0] = found->second >> 16;
    local[1] = found->second & 0xFFFF;
}

}  // namespace gpurt
