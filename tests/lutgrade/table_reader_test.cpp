#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "cpu_reference.h"
#include "tables/table_file_reader.h"
#include "tables/table_resample.h"
#include "test_files.h"

namespace {

using lutgrade::ParsedTable;
using lutgrade::TableFormat;

class TableReader : public testing::Test {
protected:
    void SetUp() override { mFolder = lutref::test_folder(); }

    // Reads text as a file of the given format; the reader's lines go to out.
    bool read(const std::string& text, TableFormat format, ParsedTable& table,
              std::string* out = nullptr) {
        const std::string path = lutref::write_text(
            mFolder + (format == TableFormat::k3dl ? "/t.3dl" : "/t.cube"), text);
        const bool ok = lutgrade::read_table_file(path.c_str(), format, table);
        if (out) *out = table.lines;
        return ok;
    }

    // A .cube text of the table's bytes, one entry per line, red fastest.
    static std::string cube_text(const lutref::Table& t, const std::string& header,
                                 const char* eol = "\n") {
        std::string text = header + "LUT_3D_SIZE " + std::to_string(t.n) + eol;
        char line[64];
        for (std::size_t e = 0; e < t.bytes.size(); e += 4) {
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f%s", t.bytes[e] / 255.0,
                          t.bytes[e + 1] / 255.0, t.bytes[e + 2] / 255.0, eol);
            text += line;
        }
        return text;
    }

    // Largest difference between a table of floats and a byte table, in code values.
    static float worst_code(const std::vector<float>& rgb, const lutref::Table& t) {
        const std::vector<float> want = lutref::rgb_floats(t);
        EXPECT_EQ(rgb.size(), want.size());
        float worst = 0.0f;
        for (std::size_t i = 0; i < std::min(rgb.size(), want.size()); ++i)
            worst = std::max(worst, std::abs(rgb[i] - want[i]) * 255.0f);
        return worst;
    }

    std::string mFolder;
};

TEST(TableFormat, ChosenByTheExtensionInAnyCase) {
    EXPECT_EQ(lutgrade::table_format_of("look.cube"), TableFormat::kCube);
    EXPECT_EQ(lutgrade::table_format_of("/a.b/LOOK.CUBE"), TableFormat::kCube);
    EXPECT_EQ(lutgrade::table_format_of("look.Cube"), TableFormat::kCube);
    EXPECT_EQ(lutgrade::table_format_of("look.3DL"), TableFormat::k3dl);
    EXPECT_EQ(lutgrade::table_format_of("look.Csp"), TableFormat::kCsp);
    EXPECT_EQ(lutgrade::table_format_of("look.SPI3D"), TableFormat::kSpi3d);
    EXPECT_EQ(lutgrade::table_format_of("look.spi1d"), TableFormat::kSpi1d);
    EXPECT_EQ(lutgrade::table_format_of("look.ITX"), TableFormat::kItx);
    EXPECT_EQ(lutgrade::table_format_of("3dl"), TableFormat::k3dl)
        << "no dot: the whole path is the extension";
    for (const char* path : {"look.cub", "look.cube.txt", "dir.cube/look", "look.spi", ""})
        EXPECT_EQ(lutgrade::table_format_of(path), TableFormat::kNone) << path;
    EXPECT_EQ(lutgrade::table_format_of(nullptr), TableFormat::kNone);
}

TEST_F(TableReader, Cube33RoundTripsThroughResampling) {
    const lutref::Table look = lutref::warm_look_table(33);
    ParsedTable parsed;
    std::string out;
    ASSERT_TRUE(read(cube_text(look, "# made by the test\n"), TableFormat::kCube, parsed, &out));
    EXPECT_EQ(parsed.edge, 33);
    EXPECT_LT(worst_code(parsed.rgb, look), 0.001f);
    EXPECT_NE(out.find("    set lutImagePath : "), std::string::npos);
    EXPECT_NE(out.find("LUT_SIZE=33 typd= nd=107811 lines=0 \n"), std::string::npos) << out;
    EXPECT_LT(worst_code(lutgrade::resample_table(parsed, 33), look), 0.001f);
}

TEST_F(TableReader, CrlfAndKeywordLinesReadLikeThePlainFile) {
    const lutref::Table look = lutref::warm_look_table(5);
    const std::string keywords =
        "TITLE \"Warm Look\"\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\nLUT_3D_INPUT_RANGE 0 1\n\n";
    ParsedTable plain, crlf, titled;
    ASSERT_TRUE(read(cube_text(look, ""), TableFormat::kCube, plain));
    ASSERT_TRUE(read(cube_text(look, "", "\r\n"), TableFormat::kCube, crlf));
    std::string out;
    ASSERT_TRUE(read(cube_text(look, keywords), TableFormat::kCube, titled, &out));
    EXPECT_EQ(crlf.rgb, plain.rgb);
    EXPECT_EQ(titled.rgb, plain.rgb) << "a two-word TITLE or DOMAIN_ line must not become an entry";
    for (const char* keyword : {"TITLE", "DOMAIN_MIN", "DOMAIN_MAX", "LUT_3D_INPUT_RANGE"})
        EXPECT_NE(out.find(std::string("Fail to parse ") + keyword + " to three float. \n"),
                  std::string::npos)
            << keyword;
}

// Values keep their precision and range until the table reaches the device.
TEST_F(TableReader, CubeValuesKeepTheirPrecision) {
    ParsedTable t;
    ASSERT_TRUE(read("LUT_3D_SIZE 2\n1.002 -0.1 0.5\n1e9 -1e9 0.0019\n0.998 +0 1\n" +
                         std::string(5, '\n') + "0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n",
                     TableFormat::kCube, t));
    const std::vector<float> first{1.002f, -0.1f, 0.5f, 1e9f, -1e9f, 0.0019f, 0.998f, 0.0f, 1.0f};
    EXPECT_EQ(std::vector<float>(t.rgb.begin(), t.rgb.begin() + 9), first);
    EXPECT_EQ(t.rgb.size(), 24u);
}

// Short files and files with broken lines are refused (Lut3DFile tests every
// reason through the library); a refused read leaves no table.
TEST_F(TableReader, RefusedFilesLeaveNoTable) {
    ParsedTable t;
    EXPECT_FALSE(read("LUT_3D_SIZE 2\n0 0 0\n1 1 1\n", TableFormat::kCube, t));
    EXPECT_EQ(t.reason, "expected 8 entries (2^3), found 2");
    EXPECT_TRUE(t.rgb.empty());
    EXPECT_FALSE(read("0 0 0\n1 1 1\n", TableFormat::kCube, t));
    EXPECT_EQ(t.reason, "expected 8 entries (2^3), found 2")
        << "the smallest table the entries could fill";
    EXPECT_FALSE(read("LUT_3D_SIZE 2\n0 0 0\n0 0 x\n", TableFormat::kCube, t));
    EXPECT_EQ(t.reason, "bad number on line 3: x");
    EXPECT_FALSE(
        lutgrade::read_table_file((mFolder + "/missing.3dl").c_str(), TableFormat::k3dl, t));
    EXPECT_NE(t.lines.find(" can not open .3DL file\n"), std::string::npos);
    EXPECT_EQ(t.reason.rfind("cannot open", 0), 0u) << t.reason;
}

// Lustre's header and trailer lines are known words, never stray lines, even
// when there are many; a trailing blank before CRLF is no extra token.
TEST_F(TableReader, ThreeDlHeadersTrailersAndCrlfBlanksRead) {
    std::string text = "3DMESH\nMesh 1 12\n0 1023\n";
    for (int i = 0; i < 8; ++i) text += "0 2048 4095 \r\n";
    for (int i = 0; i < 6; ++i) text += "\nLUT8\ngamma 1.0\n";
    ParsedTable t;
    std::string out;
    ASSERT_TRUE(read(text, TableFormat::k3dl, t, &out)) << t.reason;
    EXPECT_EQ(t.edge, 2);
    EXPECT_EQ(t.rgb[2], 1.0f) << "4095 is full scale at 12 bits";
    EXPECT_NE(out.find("Fail to parse gamma to three float. \n"), std::string::npos) << out;
}

// The depth of .3dl values: from a Mesh line, else the smallest of 10, 12, 14
// and 16 bits that holds the largest value (4096 alone reads as 12-bit full
// scale); a value above the depth's full scale refuses the file.
TEST_F(TableReader, ThreeDlDepthFromTheMeshLineOrTheLargestValue) {
    const struct {
        const char* header;
        const char* largest;
        double fullScale;  // 0: refused
    } cases[] = {
        {"", "1023", 1023},
        {"", "1024", 4095},
        {"", "4095", 4095},
        {"", "4096", 4096},
        {"", "4097", 16383},
        {"", "16384", 65535},
        {"", "65536", 0},
        {"Mesh 4 10\n", "1023", 1023},
        {"Mesh 4 10\n", "1024", 0},
        {"Mesh 4 16\n", "1000", 65535},
        {"Mesh 4 12\n", "4096", 4096},
        {"Mesh 4 12\n", "4097", 0},
    };
    for (const auto& c : cases) {
        std::string text = std::string(c.header) + "0 1023\n" + c.largest + " 0 0\n";
        for (int i = 0; i < 7; ++i) text += "0 0 100\n";
        ParsedTable t;
        const bool ok = read(text, TableFormat::k3dl, t);
        SCOPED_TRACE(std::string(c.header) + c.largest);
        if (c.fullScale == 0) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(t.reason.rfind("value above full scale on line", 0), 0u) << t.reason;
            continue;
        }
        ASSERT_TRUE(ok) << t.reason;
        EXPECT_FLOAT_EQ(t.rgb[0], static_cast<float>(std::atof(c.largest) / c.fullScale));
        EXPECT_FLOAT_EQ(t.rgb[3 * 4 + 2], static_cast<float>(100 / c.fullScale));
    }
}

// At most 10 parse lines are printed, then a count; entries past N^3 are
// ignored with one line.
TEST_F(TableReader, ParseLinesAreCappedAndExtraEntriesCounted) {
    std::string text = "LUT_3D_SIZE 2\n";
    for (int i = 0; i < 14; ++i) text += "\n";
    for (int i = 0; i < 11; ++i) text += "0 0 0\n";
    ParsedTable t;
    std::string out;
    ASSERT_TRUE(read(text, TableFormat::kCube, t, &out)) << t.reason;
    std::size_t messages = 0;
    for (std::size_t at = out.find("Fail to parse"); at != std::string::npos;
         at = out.find("Fail to parse", at + 1))
        ++messages;
    EXPECT_EQ(messages, 10u) << out;
    EXPECT_NE(out.find("(4 more lines not parsed)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ignored 3 entries past 2^3\n"), std::string::npos) << out;
}

TEST_F(TableReader, ThreeDlTakesItsSizeFromTheEntryCount) {
    std::string text = "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023\n";
    // Blue varies fastest in the file: its second entry is red 0, green 0, blue 1.
    for (int i = 0; i < 17 * 17 * 17; ++i)
        text += i == 0 ? "4095 4096 2048\n" : i == 1 ? "16 32 4096\n" : "0 0 0\n";
    ParsedTable t;
    std::string out;
    ASSERT_TRUE(read(text, TableFormat::k3dl, t, &out));
    EXPECT_EQ(t.edge, 17);
    EXPECT_EQ(t.rgb.size(), 17u * 17 * 17 * 3);
    // The largest value is 4096: 12-bit with 4096 as full scale.
    EXPECT_EQ(t.rgb[0], 4095.0f / 4096.0f);
    EXPECT_EQ(t.rgb[1], 1.0f);
    EXPECT_EQ(t.rgb[2], 0.5f);
    const std::size_t blue1 = 17 * 17 * 3;  // entry (0, 0, 1), red fastest
    EXPECT_EQ(std::vector<float>(t.rgb.begin() + blue1, t.rgb.begin() + blue1 + 3),
              (std::vector<float>{16.0f / 4096.0f, 32.0f / 4096.0f, 1.0f}));
    EXPECT_EQ(t.rgb[3], 0) << "entry (1, 0, 0) is the file's entry 17 * 17";
    EXPECT_NE(out.find("    set lutImagePath 3dl: "), std::string::npos);
    EXPECT_NE(out.find("=> readl LutSize=17\n"), std::string::npos);
    EXPECT_NE(out.find("    LUT_SIZE=17 typd= nd=14739 lines=0 \n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Fail to parse 0 to three float. \n"), out.rfind("Fail to parse"))
        << "one parse message";
}

TEST_F(TableReader, OrderKeywordOnlyWhenIndented) {
    ParsedTable t;
    std::string out;
    const std::string entries = "0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
    ASSERT_TRUE(read("LUT_3D_SIZE 2\n# LUT_ORDER BGR\n" + entries, TableFormat::kCube, t, &out));
    EXPECT_EQ(t.order, "");
    ASSERT_TRUE(read("LUT_3D_SIZE 2\n  # LUT_ORDER BGR\n" + entries, TableFormat::kCube, t, &out));
    EXPECT_EQ(t.order, "BGR");
    EXPECT_NE(out.find("typd=BGR"), std::string::npos);
}

lutgrade::ParsedTable table_of(int edge, const std::vector<float>& rgb) {
    lutgrade::ParsedTable t;
    t.edge = edge;
    t.rgb = rgb;
    return t;
}

TEST(TableResample, InterpolatesTetrahedrallyBetweenPoints) {
    // Edge 2: corners 0 except (1,1,1) = 1 in red and (1,0,0) = 0.8 in green.
    std::vector<float> rgb(8 * 3, 0.0f);
    rgb[7 * 3] = 1.0f;
    rgb[1 * 3 + 1] = 0.8f;
    const std::vector<float> out = lutgrade::resample_table(table_of(2, rgb), 3);
    auto at = [&](int x, int y, int z, int ch) { return out[3 * ((z * 3 + y) * 3 + x) + ch]; };
    EXPECT_FLOAT_EQ(at(1, 1, 1, 0), 0.5f);  // centre: half of the far corner
    EXPECT_FLOAT_EQ(at(2, 2, 2, 0), 1.0f);
    EXPECT_FLOAT_EQ(at(1, 0, 0, 1), 0.4f);
    EXPECT_FLOAT_EQ(at(1, 1, 1, 1), 0.0f);  // fx = fy = fz: c100 weighted by fx - fy = 0
    EXPECT_FLOAT_EQ(at(2, 1, 0, 1), 0.4f);
}

TEST(TableResample, IdentityStaysIdentity) {
    std::vector<float> identity17;
    for (int i = 0; i < 17 * 17 * 17; ++i)
        for (int p : {i % 17, i / 17 % 17, i / 289}) identity17.push_back(p / 16.0f);
    const std::vector<float> out = lutgrade::resample_table(table_of(17, identity17), 33);
    float worst = 0.0f;
    for (std::size_t e = 0; e < out.size() / 3; ++e)
        for (int c = 0; c < 3; ++c) {
            const int point[3] = {static_cast<int>(e % 33), static_cast<int>(e / 33 % 33),
                                  static_cast<int>(e / 33 / 33)};
            worst = std::max(worst, std::abs(out[3 * e + c] - point[c] / 32.0f));
        }
    EXPECT_LT(worst, 1e-6f);
}

}  // namespace

namespace {

TEST(TableResample, LastPointStaysInsideTheTable) {
    // The last output point of a 64-point table must read its last entry at every output size.
    for (int lutSize = 2; lutSize <= 40; ++lutSize) {
        std::vector<float> rgb(64 * 64 * 64 * 3, 0.0f);
        rgb[rgb.size() - 3] = 1.0f;
        const std::vector<float> out = lutgrade::resample_table(table_of(64, rgb), lutSize);
        EXPECT_FLOAT_EQ(out[out.size() - 3], 1.0f) << lutSize;
    }
}

}  // namespace
