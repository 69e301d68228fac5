#include <gtest/gtest.h>

#include <algorithm>
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

    static std::vector<std::uint8_t> rgb_of(const lutref::Table& t) {
        std::vector<std::uint8_t> rgb;
        for (std::size_t e = 0; e < t.bytes.size(); e += 4)
            rgb.insert(rgb.end(), &t.bytes[e], &t.bytes[e] + 3);
        return rgb;
    }

    std::string mFolder;
};

TEST(TableFormat, ChosenByTheExactExtension) {
    EXPECT_EQ(lutgrade::table_format_of("look.cube"), TableFormat::kCube);
    EXPECT_EQ(lutgrade::table_format_of("/a.b/LOOK.CUBE"), TableFormat::kCube);
    EXPECT_EQ(lutgrade::table_format_of("look.3dl"), TableFormat::k3dl);
    EXPECT_EQ(lutgrade::table_format_of("look.3DL"), TableFormat::k3dl);
    EXPECT_EQ(lutgrade::table_format_of("3dl"), TableFormat::k3dl)
        << "no dot: the whole path is the extension";
    for (const char* path : {"look.Cube", "look.cub", "look.cube.txt", "dir.cube/look", ""})
        EXPECT_EQ(lutgrade::table_format_of(path), TableFormat::kNone) << path;
    EXPECT_EQ(lutgrade::table_format_of(nullptr), TableFormat::kNone);
}

TEST_F(TableReader, Cube33RoundTripsThroughResampling) {
    const lutref::Table look = lutref::warm_look_table(33);
    ParsedTable parsed;
    std::string out;
    ASSERT_TRUE(read(cube_text(look, "# made by the test\n"), TableFormat::kCube, parsed, &out));
    EXPECT_EQ(parsed.edge, 33);
    EXPECT_EQ(parsed.rgb, rgb_of(look));
    EXPECT_NE(out.find("    set lutImagePath : "), std::string::npos);
    EXPECT_NE(out.find("LUT_SIZE=33 typd= nd=107811 lines=0 \n"), std::string::npos) << out;
    EXPECT_EQ(lutgrade::resample_table(parsed.rgb, 33, 33), look.bytes);
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

TEST_F(TableReader, CubeValuesRoundAndClamp) {
    ParsedTable t;
    ASSERT_TRUE(read("LUT_3D_SIZE 2\n1.002 -0.1 0.5\n1e9 -1e9 0.0019\n0.998 +0 1\n" +
                         std::string(5, '\n') + "0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n",
                     TableFormat::kCube, t));
    const std::vector<std::uint8_t> first{255, 0, 128, 255, 0, 0, 254, 0, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(t.rgb.begin(), t.rgb.begin() + 9), first);
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

// Header lines of Lustre-style .3dl files are keywords or stray lines, not
// broken data; a trailing blank before CRLF is no extra token.
TEST_F(TableReader, ThreeDlHeadersAndCrlfBlanksRead) {
    std::string text = "3DMESH\nMesh 1 12\n0 1023\n";
    for (int i = 0; i < 8; ++i) text += "0 2048 4095 \r\n";
    ParsedTable t;
    ASSERT_TRUE(read(text, TableFormat::k3dl, t)) << t.reason;
    EXPECT_EQ(t.edge, 2);
    EXPECT_EQ(t.rgb[2], 254);
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
    EXPECT_EQ(t.rgb[0], 254);
    EXPECT_EQ(t.rgb[1], 255);
    EXPECT_EQ(t.rgb[2], 127);
    const std::size_t blue1 = 17 * 17 * 3;  // entry (0, 0, 1), red fastest
    EXPECT_EQ(std::vector<std::uint8_t>(t.rgb.begin() + blue1, t.rgb.begin() + blue1 + 3),
              (std::vector<std::uint8_t>{0, 1, 255}));
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

TEST(TableResample, InterpolatesTetrahedrallyBetweenPoints) {
    // Edge 2: corners 0 except (1,1,1) = 255 in red and (1,0,0) = 200 in green.
    std::vector<std::uint8_t> rgb(8 * 3, 0);
    rgb[7 * 3] = 255;
    rgb[1 * 3 + 1] = 200;
    const std::vector<std::uint8_t> out = lutgrade::resample_table(rgb, 2, 3);
    auto at = [&](int x, int y, int z, int ch) { return out[4 * ((z * 3 + y) * 3 + x) + ch]; };
    EXPECT_EQ(at(1, 1, 1, 0), 128);  // centre: half of the far corner, rounded
    EXPECT_EQ(at(2, 2, 2, 0), 255);
    EXPECT_EQ(at(1, 0, 0, 1), 100);
    EXPECT_EQ(at(1, 1, 1, 1),
              0);  // fx = fy = fz: the first tetrahedron, c100 weighted by fx - fy = 0
    EXPECT_EQ(at(2, 1, 0, 1), 100);
}

TEST(TableResample, IdentityStaysIdentity) {
    const lutref::Table id17 = lutref::identity_table(17);
    std::vector<std::uint8_t> rgb;
    for (std::size_t e = 0; e < id17.bytes.size(); e += 4)
        rgb.insert(rgb.end(), &id17.bytes[e], &id17.bytes[e] + 3);
    const std::vector<std::uint8_t> out = lutgrade::resample_table(rgb, 17, 33);
    const lutref::Table id33 = lutref::identity_table(33);
    int worst = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
        worst = std::max(worst, std::abs(out[i] - id33.bytes[i]));
    EXPECT_LE(worst, 1);
}

}  // namespace

namespace {

TEST(TableResample, LastPointStaysInsideTheTable) {
    // For edge 64 the single-precision step puts the last output point a hair
    // beyond index 63 at several output sizes.
    for (int lutSize = 2; lutSize <= 40; ++lutSize) {
        std::vector<std::uint8_t> rgb(64 * 64 * 64 * 3, 0);
        rgb[rgb.size() - 3] = 255;
        const std::vector<std::uint8_t> out = lutgrade::resample_table(rgb, 64, lutSize);
        EXPECT_EQ(out[out.size() - 4], 255) << lutSize;
    }
}

}  // namespace
