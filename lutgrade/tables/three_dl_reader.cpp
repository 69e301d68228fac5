// .3dl (flame and Lustre): a mesh line of input points, then integer entries
// with blue fastest. The values' depth comes from a "Mesh a b" line (b bits)
// or else from the largest value: the smallest of 10, 12, 14 or 16 bits whose
// full scale 2^b - 1 holds it; a largest value of exactly 4096 is 12-bit
// with 4096 as full scale. A very dark table can thus read as a lower depth,
// an ambiguity of the format itself.
#include <algorithm>
#include <cmath>

#include "tables/table_readers.h"

namespace lutgrade {
namespace {

constexpr double kMaxValue = 65535.0;
constexpr double kTwelveBitFullScale = 4096.0;

double full_scale_of(int bits) { return std::ldexp(1.0, bits) - 1.0; }

class ThreeDlReader : public TableLines {
public:
    using TableLines::TableLines;

    bool finish() override {
        const std::size_t entries = mValues.size() / 3;
        const int edge = edge_of_count(entries);
        summary("    LUT_SIZE=%d typd=%s nd=%d lines=%d \n", edge, mValues.size());
        if (entries == 0) return refuse("no entries");
        if (entries < cube_of(edge))
            return refuse_at("expected %zu entries (%d^3), found %zu", cube_of(edge), edge,
                             entries);
        reorder_blue_fastest(edge, scale());
        return true;
    }

protected:
    bool numbers(const std::vector<std::string>& tokens) override {
        if (tokens.size() != 3 && mValues.empty() && !mMeshSeen) {
            // The mesh line: the input points, before any entry.
            mMeshSeen = true;
            parse_message(tokens[0].c_str());
            return true;
        }
        double v[3];
        if (!triple(tokens, v)) return false;
        const double limit = mBits == 12 ? kTwelveBitFullScale
                             : mBits > 0 ? full_scale_of(mBits)
                                         : kMaxValue;
        for (int c = 0; c < 3; ++c)
            if (v[c] > limit)
                return refuse_at("value above full scale on line %d: %s (at most %.0f)",
                                 mLineNumber, tokens[c].c_str(), limit);
        if (mValues.size() / 3 >= cube_of(kMaxTableEdge))
            return refuse("size out of range: more than 256^3 entries");
        for (double x : v) {
            mValues.push_back(static_cast<float>(x));
            mLargest = std::max(mLargest, x);
        }
        return true;
    }

    // Lustre's header and trailer (3DMESH, Mesh a b, LUT8, gamma 1.0) are known
    // words; "Mesh a b" gives the values' depth.
    bool words(const std::vector<std::string>& tokens, bool* known) override {
        const std::string& key = tokens[0];
        if (key != "Mesh" && key != "gamma") return TableLines::words(tokens, known);
        parse_message(key.c_str());
        long bits = 0;
        if (key == "Mesh" && (tokens.size() != 3 || !whole_number_in(tokens[2], 8, 16, bits)))
            return refuse_at("bad Mesh line %d (Mesh <points> <bits>, bits from 8 to 16)",
                             mLineNumber);
        if (key == "Mesh") mBits = static_cast<int>(bits);
        return true;
    }

private:
    // The value that stands for 1.0.
    double scale() const {
        if (mBits > 0)
            return mBits == 12 && mLargest == kTwelveBitFullScale ? mLargest : full_scale_of(mBits);
        if (mLargest == kTwelveBitFullScale) return mLargest;
        for (int bits : {10, 12, 14})
            if (mLargest <= full_scale_of(bits)) return full_scale_of(bits);
        return full_scale_of(16);
    }

    // .3dl files list blue fastest and red slowest; the table is red fastest.
    void reorder_blue_fastest(int n, double scale) {
        mTable.edge = n;
        mTable.rgb.assign(cube_of(n) * 3, 0.0f);
        std::size_t from = 0;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b, from += 3) {
                    const std::size_t to = ((static_cast<std::size_t>(b) * n + g) * n + r) * 3;
                    for (int c = 0; c < 3; ++c)
                        mTable.rgb[to + c] = static_cast<float>(mValues[from + c] / scale);
                }
    }

    std::vector<float> mValues;  // as written, blue fastest
    double mLargest = 0.0;
    int mBits = 0;  // from the Mesh line; 0 when there is none
    bool mMeshSeen = false;
};

}  // namespace

std::unique_ptr<TableLines> make_3dl_reader(ParsedTable& table) {
    return std::make_unique<ThreeDlReader>(table);
}

}  // namespace lutgrade
