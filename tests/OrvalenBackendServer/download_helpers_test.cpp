// Progress percentage, file naming and directory creation of downloads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "download/DownloadNaming.h"
#include "download/DownloadProgress.h"

using namespace Orvalen;

TEST(DownloadPercent, CountsTheResumedBytesAgainstTheExpectedSize) {
    EXPECT_DOUBLE_EQ(downloadPercent(60, 10, 40, 100), 50.0);
    EXPECT_DOUBLE_EQ(downloadPercent(60, 60, 40, 100), 100.0);
}

TEST(DownloadPercent, BeforeAnyTotalOnlyACompleteFileCounts) {
    EXPECT_DOUBLE_EQ(downloadPercent(0, 0, 100, 100), 100.0);
    EXPECT_DOUBLE_EQ(downloadPercent(0, 0, 40, 100), 0.0);
}

TEST(DownloadPercent, UnknownOrZeroSizeUsesTheTransfersOwnTotal) {
    EXPECT_DOUBLE_EQ(downloadPercent(200, 50, 0, -1), 25.0);
    EXPECT_DOUBLE_EQ(downloadPercent(200, 50, 0, 0), 25.0);
    EXPECT_DOUBLE_EQ(downloadPercent(100, 50, 100, -1), 75.0);
}

TEST(DownloadPercent, StaysWithinZeroAndHundred) {
    // The server sends more than the backend announced.
    EXPECT_DOUBLE_EQ(downloadPercent(1000, 900, 0, 100), 100.0);
    EXPECT_DOUBLE_EQ(downloadPercent(10, 20, 0, 100), 0.0);
}

TEST(DownloadFileName, LastSegmentCutAtTheFirstOtherCharacter) {
    EXPECT_EQ(fileNameFromUrl("https://h/p/peza_1.3-0.7z?sig=ab"), "peza_1.3-0.7z");
    EXPECT_EQ(fileNameFromUrl("package.7z"), "package.7z");
    EXPECT_EQ(fileNameFromUrl("https://h/p/%70kg.7z"), "");
    EXPECT_EQ(fileNameFromUrl("https://h/p/"), "");
}

TEST(DownloadFileName, OnlyDotsNameNoFile) {
    EXPECT_FALSE(isUsableFileName(""));
    EXPECT_FALSE(isUsableFileName("."));
    EXPECT_FALSE(isUsableFileName(".."));
    EXPECT_FALSE(isUsableFileName("..."));
    EXPECT_TRUE(isUsableFileName(".hidden"));
    EXPECT_TRUE(isUsableFileName("a..b"));
}

TEST(DownloadFileName, ReservedNamesIgnoreLetterCaseAndTrailingDots) {
    const std::vector<std::string> reserved = {"update.ini", "logs"};
    EXPECT_TRUE(Orvalen::isReservedFileName("update.ini", reserved));
    EXPECT_TRUE(Orvalen::isReservedFileName("UPDATE.INI", reserved));
    EXPECT_TRUE(Orvalen::isReservedFileName("Update.ini..", reserved));
    EXPECT_TRUE(Orvalen::isReservedFileName("LOGS", reserved));
    EXPECT_FALSE(Orvalen::isReservedFileName("update.ini.7z", reserved));
    EXPECT_FALSE(Orvalen::isReservedFileName("update.ini", {}));
}

TEST(DownloadFileName, LocalPathHasOneSeparatorBeforeTheName) {
    EXPECT_EQ(localFilePath("/data", "p.7z"), "/data/p.7z");
    EXPECT_EQ(localFilePath("/data/", "p.7z"), "/data/p.7z");
    EXPECT_EQ(localFilePath("/data\\app\\", "p.7z"), "/data/app/p.7z");
}

TEST(DownloadDirectory, CreatesEveryMissingLevelAndKeepsExistingOnes) {
    testsupport::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("kept").c_str(), 0755), 0);
    createDirectoryLevels(dir.path() + "/kept\\new/deeper\\");
    struct stat info;
    ASSERT_EQ(stat(dir.file("kept/new/deeper").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}
