// The log file: size rotation at the real threshold, backups, appending
// across runs, a file that cannot be opened, and concurrent writers.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestServers.h"
#include "logging/OVLogMng.h"
#include "logging/OVLogging.h"

using namespace OVLogging;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class LogFile : public testing::Test {
protected:
    std::string log() const { return mDir.file("peza-update.txt"); }
    std::string backup(int index) const { return log() + "." + std::to_string(index); }
    static bool exists(const std::string& path) {
        return QFile::exists(QString::fromStdString(path));
    }
    static qint64 size(const std::string& path) {
        return QFile(QString::fromStdString(path)).size();
    }
    DestinationPtr destination(bool rotate, qint64 maxSize, int backups) const {
        return DestinationFactory::makeFileDestination(QString::fromStdString(log()), rotate,
                                                       maxSize, backups);
    }

    testsupport::TempDir mDir;
};

}  // namespace

TEST_F(LogFile, RotatesOnceTheSizeWouldPassTenMebibytesKeepingTwoBackups) {
    {
        QFile file(QString::fromStdString(log()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(10485700));
    }
    writeFile(backup(1), "one\n");
    writeFile(backup(2), "two\n");
    DestinationPtr file = destination(true, OVLogMng::kMaxLogSize, OVLogMng::kOldLogsKept);
    ASSERT_TRUE(file->isValid());

    // Reaching the limit exactly is no reason to rotate.
    file->write(QString(60, u'a'), InfoLevel);
    EXPECT_EQ(size(log()), 10485761);
    EXPECT_EQ(readFile(backup(1)), "one\n");

    const QString message(100, u'b');
    file->write(message, InfoLevel);
    EXPECT_EQ(readFile(log()), message.toStdString() + "\n");
    EXPECT_EQ(size(backup(1)), 10485761);
    EXPECT_EQ(readFile(backup(2)), "one\n");
    EXPECT_FALSE(exists(backup(3)));
}

TEST_F(LogFile, RotatedLogAppendsAcrossRunsAnUnrotatedOneStartsEmpty) {
    destination(true, OVLogMng::kMaxLogSize, 2)->write("first run", InfoLevel);
    destination(true, OVLogMng::kMaxLogSize, 2)->write("second run", InfoLevel);
    EXPECT_EQ(readFile(log()), "first run\nsecond run\n");

    destination(false, 0, 0)->write("third run", InfoLevel);
    EXPECT_EQ(readFile(log()), "third run\n");
}

TEST_F(LogFile, TwelveRequestedBackupsKeepTenNewestFirst) {
    SizeRotationStrategy strategy;
    strategy.setBackupCount(12);
    EXPECT_EQ(strategy.backups(), 10);

    // Every message passes the 10-byte limit, so each one rotates first.
    DestinationPtr file = destination(true, 10, 12);
    for (int i = 1; i <= 15; ++i) file->write(QStringLiteral("message %1 ....").arg(i), InfoLevel);
    EXPECT_EQ(readFile(log()), "message 15 ....\n");
    EXPECT_EQ(readFile(backup(1)), "message 14 ....\n");
    EXPECT_EQ(readFile(backup(10)), "message 5 ....\n");
    EXPECT_FALSE(exists(backup(11)));
    EXPECT_FALSE(exists(backup(12)));
}

TEST_F(LogFile, WithoutBackupsRotationStartsTheFileOver) {
    DestinationPtr file = destination(true, 10, 0);
    file->write("first long message", InfoLevel);
    file->write("second long message", InfoLevel);
    EXPECT_EQ(readFile(log()), "second long message\n");
    EXPECT_FALSE(exists(backup(1)));
}

TEST_F(LogFile, FileThatCannotBeOpenedIsReportedOnceAndLosesItsLines) {
    const QString path = QString::fromStdString(mDir.file("no-such-folder/peza-update.txt"));
    testing::internal::CaptureStderr();
    DestinationPtr file = DestinationFactory::makeFileDestination(path, true, 100, 2);
    file->write("lost", InfoLevel);
    file->write("lost again", InfoLevel);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "OVLog: could not open log file " + path.toStdString() + "\n");
    EXPECT_FALSE(file->isValid());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(LogFile, ConcurrentWritersNeverMixWithinALine) {
    Logger& logger = Logger::instance();
    logger.addDestination(destination(false, 0, 0));
    logger.setLevel(DebugLevel);
    constexpr int kWriters = 8;
    constexpr int kLines = 300;
    const std::string payload(200, 'x');
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([w, &payload] {
            for (int i = 0; i < kLines; ++i) {
                OVLOG_INFO() << "writer" << w << "line" << i << payload.c_str();
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    logger.setLevel(InfoLevel);

    const QRegularExpression shape(
        QStringLiteral(R"(^INFO  \S+ \{0x[0-9a-f]+\} +writer (\d) line (\d+) x{200} $)"));
    const QStringList lines = QString::fromStdString(readFile(log())).split(u'\n');
    std::set<std::pair<int, int>> seen;
    for (const QString& line : lines) {
        if (line.isEmpty()) continue;
        const auto match = shape.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        seen.emplace(match.captured(1).toInt(), match.captured(2).toInt());
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kLines));
}
