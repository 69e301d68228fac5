// Sony Imageworks tables. .spi3d: "SPILUT 1.0", "3 3", "N N N", then lines
// "i j k r g b" that place each entry by its indices (i red). .spi1d:
// Version, From lo hi, Length N, Components 1 or 3, then N values or triples
// between braces; one component applies to all three channels.
#include "tables/table_readers.h"

namespace lutgrade {
namespace {

class Spi3dReader : public TableLines {
public:
    using TableLines::TableLines;

    bool finish() override {
        summary(kCubeSummary, mEdge, 3 * mFound);
        if (mEdge == 0) return refuse("no size line (N N N)");
        if (mFound < cube_of(mEdge))
            return refuse_at("expected %zu entries (%d^3), found %zu", cube_of(mEdge), mEdge,
                             mFound);
        mTable.edge = mEdge;
        return true;
    }

protected:
    bool numbers(const std::vector<std::string>& tokens) override {
        if (tokens.size() == 2 && mEdge == 0) return true;  // "3 3": three inputs, three outputs
        if (tokens.size() == 3 && mEdge == 0) {
            long n[3];
            for (int i = 0; i < 3; ++i)
                if (!whole_number_in(tokens[i], kMinTableEdge, kMaxTableEdge, n[i]) || n[i] != n[0])
                    return refuse_at(
                        "size out of range on line %d (three equal whole numbers from %d to %d)",
                        mLineNumber, kMinTableEdge, kMaxTableEdge);
            mEdge = static_cast<int>(n[0]);
            mTable.rgb.assign(cube_of(mEdge) * 3, 0.0f);
            mSeen.assign(cube_of(mEdge), false);
            return true;
        }
        if (tokens.size() != 6 || mEdge == 0)
            return refuse_at("bad entry on line %d (i j k r g b after the size line)", mLineNumber);
        long index[3];
        double v[3];
        for (int i = 0; i < 3; ++i)
            if (!whole_number_in(tokens[i], 0, mEdge - 1, index[i]))
                return refuse_at("bad index on line %d: %s", mLineNumber, tokens[i].c_str());
        if (!triple({tokens[3], tokens[4], tokens[5]}, v)) return false;
        const std::size_t at =
            (static_cast<std::size_t>(index[2]) * mEdge + index[1]) * mEdge + index[0];
        if (!mSeen[at]) ++mFound;
        mSeen[at] = true;
        for (int c = 0; c < 3; ++c) mTable.rgb[3 * at + c] = static_cast<float>(v[c]);
        return true;
    }

    bool words(const std::vector<std::string>& tokens, bool* known) override {
        *known = tokens[0] == "SPILUT";
        if (*known) parse_message(tokens[0].c_str());
        return true;
    }

private:
    int mEdge = 0;
    std::size_t mFound = 0;  // distinct entries placed
    std::vector<bool> mSeen;
};

class Spi1dReader : public TableLines {
public:
    using TableLines::TableLines;

    bool finish() override {
        summary(kCubeSummary, mLength, mValues.size());
        if (mLength == 0) return refuse("no Length line");
        const std::size_t found = mValues.size() / 3;
        if (found < static_cast<std::size_t>(mLength) || mOpen)
            return refuse_at("expected %d entries between { and }, found %zu", mLength, found);
        if (!(mHi > mLo)) return refuse("the input range (From) is empty or reversed");
        const float lo[3] = {mLo, mLo, mLo}, hi[3] = {mHi, mHi, mHi};
        mTable.curves.push_back(uniform_curves(mValues, 0, mLength, lo, hi));
        return true;
    }

protected:
    bool numbers(const std::vector<std::string>& tokens) override {
        if (!mOpen || mComponents == 0)
            return refuse_at("bad line %d (values belong between { and })", mLineNumber);
        if (tokens.size() != static_cast<std::size_t>(mComponents))
            return refuse_at("bad number on line %d (an entry holds %d numbers)", mLineNumber,
                             mComponents);
        double v[3];
        for (int c = 0; c < mComponents; ++c)
            if (!finite_number(tokens[c], v[c]))
                return refuse_at("bad number on line %d: %s", mLineNumber, tokens[c].c_str());
        if (mValues.size() / 3 >= static_cast<std::size_t>(mLength)) return true;
        for (int c = 0; c < 3; ++c)
            mValues.push_back(static_cast<float>(v[mComponents == 1 ? 0 : c]));
        return true;
    }

    bool words(const std::vector<std::string>& tokens, bool* known) override {
        const std::string& key = tokens[0];
        const char* value = tokens.size() > 1 ? tokens[1].c_str() : "without a value";
        long n = 0;
        double lo = 0.0, hi = 0.0;
        if (key == "Version") return true;
        if (key == "{" || key == "}") {
            mOpen = key == "{";
            return true;
        }
        if (key == "From") {
            if (tokens.size() != 3 || !finite_number(tokens[1], lo) ||
                !finite_number(tokens[2], hi))
                return refuse_at("bad From line %d (From <low> <high>)", mLineNumber);
            mLo = static_cast<float>(lo);
            mHi = static_cast<float>(hi);
        } else if (key == "Length") {
            if (tokens.size() != 2 || !whole_number_in(tokens[1], 2, kMaxCurveSize, n))
                return refuse_at("size out of range: Length %s (a whole number from 2 to %ld)",
                                 value, kMaxCurveSize);
            mLength = static_cast<int>(n);
        } else if (key == "Components") {
            if (tokens.size() != 2 || !whole_number_in(tokens[1], 1, 3, n) || n == 2)
                return refuse_at("bad Components line %d (1 or 3)", mLineNumber);
            mComponents = static_cast<int>(n);
        } else {
            *known = false;
        }
        return true;
    }

private:
    float mLo = 0.0f, mHi = 1.0f;
    int mLength = 0;
    int mComponents = 0;
    bool mOpen = false;
    std::vector<float> mValues;  // triples
};

}  // namespace

std::unique_ptr<TableLines> make_spi3d_reader(ParsedTable& table) {
    return std::make_unique<Spi3dReader>(table);
}

std::unique_ptr<TableLines> make_spi1d_reader(ParsedTable& table) {
    return std::make_unique<Spi1dReader>(table);
}

}  // namespace lutgrade
