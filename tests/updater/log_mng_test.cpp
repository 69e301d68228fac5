// Start-up of the updater log: nothing before init; then the log folder
// beside the application-data location, the banner and DEBUG lines, to the
// file and to the debugger output (standard error here).
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include "QtTestApp.h"
#include "TestServers.h"
#include "logging/OVLogMng.h"
#include "logging/OVLogger.h"

using namespace OVLogging;

TEST(OVLogMngTest, NothingIsWrittenBeforeInitThenTheLogStartsWithItsBanner) {
    Logger& logger = Logger::instance();
    EXPECT_EQ(logger.level(), InfoLevel);
    int evaluated = 0;
    OVLOG_DEBUG() << ++evaluated;
    EXPECT_EQ(evaluated, 0);
    testing::internal::CaptureStderr();
    OVLOG_WARN() << "before init";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const QString folder = updatertest::studioFolder() + "logs";
    EXPECT_EQ(
        OVLogMng::logFolderFor(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)),
        folder);
    EXPECT_FALSE(QFile::exists(folder));

    testing::internal::CaptureStderr();
    OVLogMng::instance()->init("peza-update.txt");
    EXPECT_EQ(logger.level(), DebugLevel);
    OVLOG_DEBUG() << "args count = " << 3;
    const std::string debugOutput = testing::internal::GetCapturedStderr();

    EXPECT_EQ(OVLogMng::instance()->logFilePath(), folder + "/peza-update.txt");
    const QStringList lines =
        QString::fromStdString(testsupport::readFile((folder + "/peza-update.txt").toStdString()))
            .split(u'\n');
    ASSERT_EQ(lines.size(), 5);  // four lines and the end of the last
    const QString rule = QString(93, u'+') + u' ';
    const QString banner =
        QString(37, u'=') + QStringLiteral("【沛扎直播启动】") + QString(46, u'=') + u' ';
    const QRegularExpression shape(
        QStringLiteral(R"(^(INFO |DEBUG) \S+ \{0x[0-9a-f]+\} +([+=].*|args.*)$)"));
    const QString expected[] = {"INFO " + rule, "INFO " + banner, "INFO " + rule,
                                "DEBUG" + QStringLiteral("args count =  3 ")};
    for (int i = 0; i < 4; ++i) {
        const auto match = shape.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1) + match.captured(2), expected[i]);
    }
    EXPECT_EQ(lines[4], "");
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(debugOutput.find(lines[i].toStdString() + "\n"), std::string::npos) << i;
    }
}

TEST(OVLogMngTest, LogFolderSitsBesideTheApplicationDataLocation) {
    EXPECT_EQ(OVLogMng::logFolderFor("C:/Users/a/AppData/Roaming/Update"),
              "C:/Users/a/AppData/Roaming/peza-studio/logs");
    EXPECT_EQ(OVLogMng::logFolderFor("Update"), "Update/peza-studio/logs");
}
