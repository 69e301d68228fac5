// Log lines: level name, time stamp, thread tag, the debug-stream body,
// level gating, level names and the functor destination.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QObject>
#include <QRegularExpression>
#include <QThread>
#include <mutex>
#include <vector>

#include "QtTestApp.h"
#include "logging/OVLogging.h"

using namespace OVLogging;

namespace {

// Every line the logger writes from the moment of the first call on.
class Capture {
public:
    static Capture& instance() {
        static Capture* const capture = [] {
            auto* created = new Capture();
            Logger::instance().addDestination(
                DestinationFactory::makeFunctorDestination([created](const QString& line, Level) {
                    std::lock_guard<std::mutex> lock(created->mMutex);
                    created->mLines.push_back(line);
                }));
            return created;
        }();
        return *capture;
    }
    std::vector<QString> take() {
        std::lock_guard<std::mutex> lock(mMutex);
        std::vector<QString> lines;
        lines.swap(mLines);
        return lines;
    }

private:
    std::mutex mMutex;
    std::vector<QString> mLines;
};

class LogLine : public testing::Test {
protected:
    void SetUp() override {
        Capture::instance().take();
        Logger::instance().setLevel(DebugLevel);
    }
    void TearDown() override { Logger::instance().setLevel(InfoLevel); }
};

const QRegularExpression kLine(QStringLiteral(
    R"(^(TRACE|DEBUG|INFO |WARN |ERROR|FATAL) (\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}) )"
    R"((\{0x([0-9a-f]+)\} +))"));

class Receiver : public QObject {
    Q_OBJECT
public:
    std::vector<std::pair<QString, int>> received;
public slots:
    void onLog(const QString& message, int level) { received.emplace_back(message, level); }
};

}  // namespace

TEST_F(LogLine, HasLevelTimestampThreadTagAndABlankAfterEveryItem) {
    OVLOG_DEBUG() << "args count = " << 3;
    OVLOG_INFO() << QStringLiteral("say \"hi\"") << QByteArray("raw") << "plain" << true << 2.5;
    const auto lines = Capture::instance().take();
    ASSERT_EQ(lines.size(), 2u);

    const auto debug = kLine.match(lines[0]);
    ASSERT_TRUE(debug.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(debug.captured(1), "DEBUG");
    EXPECT_TRUE(QDateTime::fromString(debug.captured(2), QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"))
                    .isValid());
    EXPECT_EQ(debug.captured(4).toULongLong(nullptr, 16),
              reinterpret_cast<quintptr>(QThread::currentThreadId()));
    EXPECT_GE(debug.captured(3).size(), 9);
    EXPECT_EQ(lines[0].mid(debug.capturedEnd()), "args count =  3 ");

    const auto info = kLine.match(lines[1]);
    ASSERT_TRUE(info.hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].startsWith("INFO  "));
    EXPECT_EQ(lines[1].mid(info.capturedEnd()), R"("say \"hi\"" "raw" plain true 2.5 )");
}

TEST_F(LogLine, ThreadTagIsPaddedToNineCharacters) {
    EXPECT_EQ(threadTag(0x1a), "{0x1a}   ");
    EXPECT_EQ(threadTag(0xabcd), "{0xabcd} ");
    EXPECT_EQ(threadTag(0x7f00deadbeefULL), "{0x7f00deadbeef} ");
}

TEST_F(LogLine, StatementsBelowTheLevelAreNotEvaluated) {
    int evaluated = 0;
    auto item = [&evaluated] { return ++evaluated; };
    Logger::instance().setLevel(InfoLevel);
    OVLOG_TRACE() << item();
    OVLOG_DEBUG() << item();
    EXPECT_EQ(evaluated, 0);
    OVLOG_WARN() << item();
    EXPECT_EQ(evaluated, 1);
    Logger::instance().setLevel(OffLevel);
    OVLOG_FATAL() << item();
    EXPECT_EQ(evaluated, 1);

    const auto lines = Capture::instance().take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].startsWith("WARN  "));
    EXPECT_TRUE(lines[0].endsWith(" 1 "));
}

TEST_F(LogLine, WithoutLevelAndTimestampTheLineStartsWithTheTag) {
    Logger::instance().setIncludeLevel(false);
    Logger::instance().setIncludeTimestamp(false);
    OVLOG_ERROR() << "bare";
    Logger::instance().setIncludeLevel(true);
    Logger::instance().setIncludeTimestamp(true);
    const auto lines = Capture::instance().take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].startsWith("{0x"));
    EXPECT_TRUE(lines[0].endsWith("} bare "));
}

TEST(LogLevel, FromTextTakesTheFirstNameTheTextStartsWith) {
    struct Row {
        const char* text;
        Level level;
        bool ok;
    };
    const Row rows[] = {{"DEBUG 2024-01-01T00:00:00.000 x", DebugLevel, true},
                        {"TRACE", TraceLevel, true},
                        {"INFO  line", InfoLevel, true},
                        {"WARN x", WarnLevel, true},
                        {"ERRORS", ErrorLevel, true},
                        {"FATAL", FatalLevel, true},
                        {"INFO", OffLevel, false},
                        {"debug", OffLevel, false},
                        {" DEBUG", OffLevel, false},
                        {"", OffLevel, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        bool ok = !row.ok;
        EXPECT_EQ(levelFromText(QString::fromUtf8(row.text), &ok), row.level);
        EXPECT_EQ(ok, row.ok);
        EXPECT_EQ(levelFromText(QString::fromUtf8(row.text)), row.level);
    }
    EXPECT_EQ(levelName(InfoLevel), "INFO ");
    EXPECT_EQ(levelName(WarnLevel), "WARN ");
    EXPECT_EQ(levelName(OffLevel), "");
}

TEST(FunctorDestinationTest, CallsBackEveryLineAndSignalsAboveTrace) {
    std::vector<QString> called;
    DestinationPtr destination = DestinationFactory::makeFunctorDestination(
        [&called](const QString& line, Level) { called.push_back(line); });
    auto* object = dynamic_cast<FunctorDestination*>(destination.get());
    ASSERT_NE(object, nullptr);
    EXPECT_NE(object->qt_metacast("OVLogging::FunctorDestination"), nullptr);
    EXPECT_NE(object->qt_metacast("Destination"), nullptr);
    std::vector<int> signalled;
    QObject::connect(object, &FunctorDestination::logMessageReady,
                     [&signalled](const QString&, int level) { signalled.push_back(level); });

    destination->write("trace", TraceLevel);
    destination->write("debug", DebugLevel);
    destination->write("fatal", FatalLevel);
    EXPECT_EQ(called, (std::vector<QString>{"trace", "debug", "fatal"}));
    EXPECT_EQ(signalled, (std::vector<int>{DebugLevel, FatalLevel}));
    EXPECT_TRUE(destination->isValid());
}

TEST(FunctorDestinationTest, ReceiverSlotGetsTheLinesThroughItsEventLoop) {
    Receiver receiver;
    DestinationPtr destination =
        DestinationFactory::makeFunctorDestination(&receiver, SLOT(onLog(QString, int)));
    destination->write("queued", WarnLevel);
    EXPECT_TRUE(receiver.received.empty());
    ASSERT_TRUE(updatertest::processEventsUntil([&] { return !receiver.received.empty(); }, 5000));
    ASSERT_EQ(receiver.received.size(), 1u);
    EXPECT_EQ(receiver.received[0].first, "queued");
    EXPECT_EQ(receiver.received[0].second, WarnLevel);
}

#include "log_line_test.moc"
