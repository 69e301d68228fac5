#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenLogSink.h"
#include "OrvalenBackendServer/OrvalenStdoutLog.h"

using namespace Orvalen;

namespace {

class RecordingSink : public IOrvalenDebugLog {
public:
    void printLog(int level, const char* format, ...) override {
        char text[8192];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        levels.push_back(level);
        messages.push_back(text);
    }
    std::vector<int> levels;
    std::vector<std::string> messages;
};

}  // namespace

TEST(StdoutLog, PrintsOneColouredLineWithTagAndLevel) {
    testing::internal::CaptureStdout();
    printStdoutLog("OrvalenBackendServer", LEVEL_ERROR, "mSignedKey get %s", "null");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n [OrvalenBackendServer][\x1b[31mError]mSignedKey get null\x1b[0m\n");
}

TEST(StdoutLog, CutsLongMessagesTo4095Characters) {
    const std::string longText(5000, 'x');
    testing::internal::CaptureStdout();
    printStdoutLog("OrvalenDownloadManager", LEVEL_DEBUG, "%s", longText.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n [OrvalenDownloadManager][\x1b[32mDebug]" + std::string(4095, 'x') + "\x1b[0m\n");
}

TEST(StdoutLog, OutOfRangeLevelPrintsAsUnknown) {
    testing::internal::CaptureStdout();
    printStdoutLog("T", 9, "m");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n [T][\x1b[31mLEVEL_UNKNOWN]m\x1b[0m\n");
}

TEST(LogSink, SettingNoneKeepsTheInstalledSink) {
    OrvalenLogSink module("OrvalenBackendServer");
    RecordingSink first, second;
    module.set(&first);
    module.set(nullptr);
    EXPECT_EQ(module.get(), &first);
    module.setIfEmpty(&second);
    EXPECT_EQ(module.get(), &first);
    module.set(&second);
    EXPECT_EQ(module.get(), &second);
}

TEST(LogSink, ReleaseOnlyRemovesTheCurrentSink) {
    OrvalenLogSink module("OrvalenBackendServer");
    RecordingSink installed, other;
    module.setIfEmpty(&installed);
    module.release(&other);
    EXPECT_EQ(module.get(), &installed);
    module.release(&installed);
    EXPECT_EQ(module.get(), nullptr);
}

TEST(LogSink, ForwardsFormattedMessagesWithTheirLevel) {
    OrvalenLogSink module("OrvalenBackendServer");
    RecordingSink sink;
    module.set(&sink);
    testing::internal::CaptureStdout();
    module.printLog(LEVEL_WARNING, "%s url get finish, line %d", "queryUpgrade", 42);
    module.printLog(LEVEL_DEBUG, "%s", std::string(5000, 'z').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(sink.levels, (std::vector<int>{LEVEL_WARNING, LEVEL_DEBUG}));
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0], "queryUpgrade url get finish, line 42");
    EXPECT_EQ(sink.messages[1], std::string(4095, 'z'));
}

TEST(LogSink, WithoutASinkPrintsToStandardOutputUnderTheModuleTag) {
    OrvalenLogSink module("OrvalenDownloadManager");
    testing::internal::CaptureStdout();
    module.printLog(LEVEL_INFO, "Run exit!");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n [OrvalenDownloadManager][\x1b[34mInfo]Run exit!\x1b[0m\n");
}
