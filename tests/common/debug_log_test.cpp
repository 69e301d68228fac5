#include <gtest/gtest.h>

#include <string>

#include "common/OrvalenDebugLog.h"

using namespace Orvalen;

TEST(LevelText, EachLevelHasItsColourAndWord) {
    EXPECT_STREQ(levelText(LEVEL_UNKNOWN), "\x1b[31mLEVEL_UNKNOWN");
    EXPECT_STREQ(levelText(LEVEL_VERBOSE), "\x1b[35mVerbose");
    EXPECT_STREQ(levelText(LEVEL_DEBUG), "\x1b[32mDebug");
    EXPECT_STREQ(levelText(LEVEL_INFO), "\x1b[34mInfo");
    EXPECT_STREQ(levelText(LEVEL_WARNING), "\x1b[33mWarning");
    EXPECT_STREQ(levelText(LEVEL_ERROR), "\x1b[31mError");
    EXPECT_STREQ(levelText(LEVEL_FATAL), "\x1b[31mFATAL");
}

TEST(LevelText, OutOfRangeLevelsReadAsUnknown) {
    EXPECT_STREQ(levelText(-1), "\x1b[31mLEVEL_UNKNOWN");
    EXPECT_STREQ(levelText(7), "\x1b[31mLEVEL_UNKNOWN");
    EXPECT_STREQ(levelText(1 << 30), "\x1b[31mLEVEL_UNKNOWN");
}

TEST(ConsoleLog, PrintsTagLevelLocationAndMessageOnOneColouredLine) {
    const char* stop = "Now I will end all threads!!";
    testing::internal::CaptureStdout();
    const int line = __LINE__ + 1;
    ORVALEN_CONSOLE_LOG("OrvalenThread", LEVEL_INFO, "ThreadPool::StopAll", "%s", stop);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\n [OrvalenThread][\x1b[34mInfo]debug_log_test.cpp::ThreadPool::StopAll:[" +
                       std::to_string(line) + "]Now I will end all threads!!\x1b[0m\n");
}

TEST(ConsoleLog, FormatsArgumentsWithoutCuttingLongMessages) {
    const std::string longText(6000, 'y');
    testing::internal::CaptureStdout();
    ORVALEN_CONSOLE_LOG("T", 42, "f", "%s|%d", longText.c_str(), 7);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[T][\x1b[31mLEVEL_UNKNOWN]"), std::string::npos);
    EXPECT_NE(out.find(longText + "|7\x1b[0m\n"), std::string::npos);
}
