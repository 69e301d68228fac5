// Work-group sizes for two-dimensional launches, computed once per global size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace gpurt {

class LocalSizeCache {
public:
    explicit LocalSizeCache(int cap) : mCap(cap) {}

    // local[0], local[1] for the global size (gx, gy): the largest power-of-two
    // divisors, each at most the cap, cut so the group never exceeds 256 items.
    void chooseLocalSize(std::size_t gx, std::size_t gy, std::size_t local[2]);

    void clear() { mEntries.clear(); }
    std::size_t size() const { return mEntries.size(); }
    int cap() const { return mCap; }

private:
    int mCap;
    std::map<std::int32_t, std::uint32_t> mEntries;
};

}  // namespace gpurt
