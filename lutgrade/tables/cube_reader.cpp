// .cube (Resolve and Iridas) and .itx: LUT_3D_SIZE, LUT_1D_SIZE (a curve
// table alone, or a shaper before the 3D table), DOMAIN_MIN/MAX and the
// LUT_1D/3D_INPUT_RANGE of each table.
#include "tables/table_readers.h"

namespace lutgrade {

const char kCubeSummary[] = "LUT_SIZE=%d typd=%s nd=%d lines=%d \n";

namespace {

constexpr std::size_t kMaxOrder = 63;

// An input range: DOMAIN_MIN/MAX per channel, the INPUT_RANGE keywords for all three.
struct Range {
    float lo[3] = {0.0f, 0.0f, 0.0f};
    float hi[3] = {1.0f, 1.0f, 1.0f};
    bool given = false;
};

class CubeReader : public TableLines {
public:
    using TableLines::TableLines;

    bool finish() override {
        const std::size_t entries = mValues.size() / 3;
        const int edge = mByData ? edge_of_count(entries) : mEdge;
        summary(kCubeSummary, edge, mValues.size());
        if (entries == 0) return refuse("no entries");
        const std::size_t want = mCurveSize + (edge > 0 ? cube_of(edge) : 0);
        if (entries < want) {
            if (mCurveSize > 0 && edge > 0)
                return refuse_at("expected %zu entries (%d + %d^3), found %zu", want, mCurveSize,
                                 edge, entries);
            if (mCurveSize > 0)
                return refuse_at("expected %zu entries (LUT_1D_SIZE), found %zu", want, entries);
            return refuse_at("expected %zu entries (%d^3), found %zu", want, edge, entries);
        }
        if (mIgnored > 0 && mCurveSize == 0)
            append(mTable.lines, "ignored %zu entries past %d^3\n", mIgnored, edge);
        else if (mIgnored > 0)
            append(mTable.lines, "ignored %zu entries past %zu\n", mIgnored, want);

        // DOMAIN_MIN/MAX is the input range of the first table in the file.
        const Range& curveRange = m1dRange.given ? m1dRange : mDomain;
        const Range& tableRange = m3dRange.given ? m3dRange : mCurveSize > 0 ? Range{} : mDomain;
        for (const Range* r : {&curveRange, &tableRange})
            for (int c = 0; c < 3; ++c)
                if (!(r->hi[c] > r->lo[c])) return refuse("the input range is empty or reversed");
        if (mCurveSize > 0)
            mTable.curves.push_back(
                uniform_curves(mValues, 0, mCurveSize, curveRange.lo, curveRange.hi));
        mTable.edge = edge;
        if (edge > 0) {
            mTable.rgb.assign(mValues.begin() + 3 * mCurveSize, mValues.begin() + 3 * want);
            for (int c = 0; c < 3; ++c) {
                mTable.domainMin[c] = tableRange.lo[c];
                mTable.domainMax[c] = tableRange.hi[c];
            }
        }
        return true;
    }

protected:
    bool numbers(const std::vector<std::string>& tokens) override {
        double v[3];
        if (!triple(tokens, v)) return false;
        const std::size_t entries = mValues.size() / 3;
        if (mByData) {
            // The size comes from the count; entries past 256^3 cannot belong to any table.
            if (entries >= cube_of(kMaxTableEdge))
                return refuse("size out of range: more than 256^3 entries");
        } else if (entries >= mCurveSize + (mEdge > 0 ? cube_of(mEdge) : 0)) {
            ++mIgnored;
            return true;
        }
        for (double x : v) mValues.push_back(static_cast<float>(x));
        return true;
    }

    bool words(const std::vector<std::string>& tokens, bool* known) override {
        const std::string& key = tokens[0];
        const char* value = tokens.size() > 1 ? tokens[1].c_str() : "without a value";
        long n = 0;
        if (key == "LUT_3D_SIZE") {
            if (tokens.size() != 2 || !whole_number_in(tokens[1], kMinTableEdge, kMaxTableEdge, n))
                return refuse_at("size out of range: LUT_3D_SIZE %s (a whole number from %d to %d)",
                                 value, kMinTableEdge, kMaxTableEdge);
            mEdge = static_cast<int>(n);
            mByData = false;
            return true;
        }
        if (key == "LUT_1D_SIZE") {
            if (tokens.size() != 2 || !whole_number_in(tokens[1], 2, kMaxCurveSize, n))
                return refuse_at("size out of range: LUT_1D_SIZE %s (a whole number from 2 to %ld)",
                                 value, kMaxCurveSize);
            mCurveSize = static_cast<int>(n);
            mByData = false;
            return true;
        }
        if (!TableLines::words(tokens, known)) return false;
        if (key == "DOMAIN_MIN" || key == "DOMAIN_MAX")
            return range_line(tokens, 3, key == "DOMAIN_MIN" ? mDomain.lo : mDomain.hi, mDomain);
        if (key == "LUT_1D_INPUT_RANGE") return range_line(tokens, 2, nullptr, m1dRange);
        if (key == "LUT_3D_INPUT_RANGE") return range_line(tokens, 2, nullptr, m3dRange);
        return true;
    }

    void comment(const std::vector<std::string>& tokens) override {
        if (tokens.size() > 2 && tokens[1] == "LUT_ORDER")
            mTable.order = tokens[2].substr(0, kMaxOrder);
    }

private:
    // count numbers into bound (per channel), or a low and a high for all channels.
    bool range_line(const std::vector<std::string>& tokens, std::size_t count, float* bound,
                    Range& range) {
        double v[3];
        bool ok = tokens.size() == count + 1;
        for (std::size_t i = 0; ok && i < count; ++i) ok = finite_number(tokens[i + 1], v[i]);
        if (!ok)
            return refuse_at("bad range on line %d (%s wants %zu numbers)", mLineNumber,
                             tokens[0].c_str(), count);
        for (int c = 0; c < 3; ++c) {
            if (bound) {
                bound[c] = static_cast<float>(v[c]);
            } else {
                range.lo[c] = static_cast<float>(v[0]);
                range.hi[c] = static_cast<float>(v[1]);
            }
        }
        range.given = true;
        return true;
    }

    std::vector<float> mValues;  // the curve table's entries, then the 3D table's
    int mEdge = 0;
    int mCurveSize = 0;
    bool mByData = true;
    std::size_t mIgnored = 0;
    Range mDomain, m1dRange, m3dRange;
};

}  // namespace

std::unique_ptr<TableLines> make_cube_reader(ParsedTable& table) {
    return std::make_unique<CubeReader>(table);
}

}  // namespace lutgrade
