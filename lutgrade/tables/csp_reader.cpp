// .csp (cinespace): CSPLUTV100, 3D or 1D, an optional metadata block, one
// pre-curve per channel (a count, its input points, its output points), then
// the table: "N N N" and N^3 entries red fastest, or "N" and N entries.
// Pre-curves are smooth (see Curve); the entries of a 1D table are joined linearly.
#include <algorithm>

#include "tables/table_readers.h"

namespace lutgrade {
namespace {

class CspReader : public TableLines {
public:
    using TableLines::TableLines;

    bool finish() override {
        const std::size_t entries = mValues.size() / 3;
        summary(kCubeSummary, mSize, mValues.size());
        if (mStep != kEntries) return refuse("not a whole .csp file (it ends early)");
        const std::size_t want = mThreeD ? cube_of(mSize) : static_cast<std::size_t>(mSize);
        if (entries < want) return refuse_at("expected %zu entries, found %zu", want, entries);
        mTable.curves.push_back(mPreCurves);
        if (mThreeD) {
            mTable.edge = mSize;
            mTable.rgb.swap(mValues);
        } else {
            const float lo[3] = {0.0f, 0.0f, 0.0f}, hi[3] = {1.0f, 1.0f, 1.0f};
            mTable.curves.push_back(uniform_curves(mValues, 0, mSize, lo, hi));
        }
        return true;
    }

protected:
    bool numbers(const std::vector<std::string>& tokens) override {
        if (mMetadata) return true;
        switch (mStep) {
            case kCount:
                return count_line(tokens);
            case kInputs:
            case kOutputs:
                return points_line(tokens);
            case kSize:
                return size_line(tokens);
            case kEntries:
                return entry_line(tokens);
            default:
                return refuse_at("not a .csp file: numbers on line %d before the header",
                                 mLineNumber);
        }
    }

    bool words(const std::vector<std::string>& tokens, bool* known) override {
        const std::string& key = tokens[0];
        if (mMetadata) {
            mMetadata = key != "END";
            return true;
        }
        if (mStep == kMagic) {
            if (key != "CSPLUTV100")
                return refuse_at("not a .csp file: line %d is not CSPLUTV100", mLineNumber);
            mStep = kType;
        } else if (mStep == kType) {
            if (key != "3D" && key != "1D")
                return refuse_at("not a .csp file: line %d is neither 3D nor 1D", mLineNumber);
            mThreeD = key == "3D";
            mStep = kCount;
        } else if (key == "BEGIN") {
            mMetadata = true;
        } else {
            *known = false;
        }
        return true;
    }

    void blank(const char*) override {}

private:
    enum Step { kMagic, kType, kCount, kInputs, kOutputs, kSize, kEntries };

    bool count_line(const std::vector<std::string>& tokens) {
        long n = 0;
        if (tokens.size() != 1 || !whole_number_in(tokens[0], 2, kMaxCurveSize, n))
            return refuse_at("bad pre-curve size on line %d (a whole number from 2 to %ld)",
                             mLineNumber, kMaxCurveSize);
        mPoints = static_cast<std::size_t>(n);
        mStep = kInputs;
        return true;
    }

    bool points_line(const std::vector<std::string>& tokens) {
        if (tokens.size() != mPoints)
            return refuse_at("short pre-curve on line %d (%zu of %zu points)", mLineNumber,
                             tokens.size(), mPoints);
        Curve& curve = mPreCurves[mChannel];
        curve.smooth = true;  // cinespace pre-curves are splines through their points
        std::vector<float>& to = mStep == kInputs ? curve.x : curve.y;
        for (const std::string& token : tokens) {
            double v = 0.0;
            if (!finite_number(token, v))
                return refuse_at("bad number on line %d: %s", mLineNumber, token.c_str());
            if (mStep == kInputs && !to.empty() && !(v > to.back()))
                return refuse_at("pre-curve inputs on line %d do not rise", mLineNumber);
            to.push_back(static_cast<float>(v));
        }
        if (mStep == kInputs) {
            mStep = kOutputs;
        } else {
            mStep = ++mChannel < 3 ? kCount : kSize;
        }
        return true;
    }

    bool size_line(const std::vector<std::string>& tokens) {
        long n[3] = {0, 0, 0};
        const std::size_t count = mThreeD ? 3 : 1;
        const long most = mThreeD ? kMaxTableEdge : kMaxCurveSize;
        bool ok = tokens.size() == count;
        for (std::size_t i = 0; ok && i < count; ++i)
            ok = whole_number_in(tokens[i], kMinTableEdge, most, n[i]) && n[i] == n[0];
        if (!ok)
            return refuse_at("size out of range on line %d (%s from %d to %ld)", mLineNumber,
                             mThreeD ? "three equal whole numbers" : "a whole number",
                             kMinTableEdge, most);
        mSize = static_cast<int>(n[0]);
        mStep = kEntries;
        return true;
    }

    bool entry_line(const std::vector<std::string>& tokens) {
        double v[3];
        if (!triple(tokens, v)) return false;
        const std::size_t want = mThreeD ? cube_of(mSize) : static_cast<std::size_t>(mSize);
        if (mValues.size() / 3 >= want) return true;
        for (double x : v) mValues.push_back(static_cast<float>(x));
        return true;
    }

    Step mStep = kMagic;
    bool mThreeD = true;
    bool mMetadata = false;
    int mChannel = 0;
    std::size_t mPoints = 0;
    Curves mPreCurves;
    int mSize = 0;
    std::vector<float> mValues;
};

}  // namespace

std::unique_ptr<TableLines> make_csp_reader(ParsedTable& table) {
    return std::make_unique<CspReader>(table);
}

}  // namespace lutgrade
