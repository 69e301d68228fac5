#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/OrvalenMd5.h"

using Orvalen::OrvalenMd5;

namespace {

std::string md5sumOf(const std::string& path) {
    const std::string command = "md5sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "popen failed";
    char digest[33] = {0};
    const size_t got = fread(digest, 1, 32, pipe);
    pclose(pipe);
    return std::string(digest, got);
}

// Bytes that do not repeat with any period MD5 could hide.
std::string patternBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 0x12345678;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

class Md5File : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/md5_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = mDir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string mDir;
};

}  // namespace

TEST(Md5String, MatchesTheRfc1321TestSuite) {
    const struct {
        const char* input;
        const char* digest;
    } suite[] = {
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    OrvalenMd5 md5;  // one object for all: every call starts afresh
    for (const auto& c : suite) EXPECT_EQ(md5.getFromString(c.input), c.digest) << c.input;
}

TEST(Md5String, EmptyInputGivesNoDigestAndAnErrorLine) {
    OrvalenMd5 md5;
    testing::internal::CaptureStdout();
    EXPECT_EQ(md5.getFromString(""), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[OrvalenMd5][\x1b[31mError]"), std::string::npos) << out;
    EXPECT_NE(out.find("Orvalen::OrvalenMd5::getFromString input is null, file OrvalenMd5.cpp"),
              std::string::npos)
        << out;
}

TEST_F(Md5File, MatchesMd5sumAcrossChunkBoundaries) {
    OrvalenMd5 md5;
    for (size_t size :
         {size_t(0), size_t(1), size_t(1023), size_t(1024), size_t(1025), size_t(10) << 20}) {
        const std::string bytes = patternBytes(size);
        const std::string path = write("f" + std::to_string(size), bytes);
        testing::internal::CaptureStdout();
        const std::string digest = md5.getFromFile(path);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(digest, md5sumOf(path)) << size << " bytes";
        EXPECT_NE(out.find("Orvalenmd5 fileCount[" + std::to_string(size) + "]"),
                  std::string::npos);
        if (size > 0) {
            EXPECT_EQ(digest, md5.getFromString(bytes)) << size << " bytes";
        }
    }
}

TEST_F(Md5File, EmptyFileGivesTheDigestOfTheEmptyMessage) {
    OrvalenMd5 md5;
    EXPECT_EQ(md5.getFromFile(write("empty", "")), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(Md5File, MissingPathGivesNoDigest) {
    OrvalenMd5 md5;
    const std::string path = mDir + "/missing";
    testing::internal::CaptureStdout();
    EXPECT_EQ(md5.getFromFile(path), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("open " + path + " fail, file OrvalenMd5.cpp"), std::string::npos) << out;
}

TEST_F(Md5File, ReadErrorGivesNoDigest) {
    // A directory opens for reading here, but every read of it fails.
    OrvalenMd5 md5;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(md5.getFromFile(mDir), "");
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("fread file error"), std::string::npos) << out;
    EXPECT_NE(err.find("fread file error: "), std::string::npos) << err;
}
