#include "logging/OVLogger.h"

#include <QDateTime>
#include <QThread>

#include "logging/OVLogDestinations.h"

namespace OVLogging {

namespace {

constexpr char16_t kTimestampFormat[] = u"yyyy-MM-ddThh:mm:ss.zzz";
constexpr int kShortestThreadTag = 9;

}  // namespace

Logger& Logger::instance() {
    static Logger* const logger = new Logger();
    return *logger;
}

void Logger::addDestination(DestinationPtr destination) {
    if (!destination) return;
    std::lock_guard<std::mutex> lock(mMutex);
    mDestinations.push_back(std::move(destination));
}

void Logger::write(const QString& line, Level level) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (const DestinationPtr& destination : mDestinations) destination->write(line, level);
}

QString threadTag(quintptr threadId) {
    QString tag = QStringLiteral("{0x") + QString::number(threadId, 16) + QStringLiteral("} ");
    if (tag.size() < kShortestThreadTag) tag.append(QString(kShortestThreadTag - tag.size(), u' '));
    return tag;
}

MessageBuilder::MessageBuilder(Level level) : mLevel(level) { mStream.emplace(&mBody); }

MessageBuilder::~MessageBuilder() {
    mStream.reset();
    const Logger& logger = Logger::instance();
    QString line;
    if (logger.includeLevel()) line += levelName(mLevel) + u' ';
    if (logger.includeTimestamp()) {
        line += QDateTime::currentDateTime().toString(QStringView(kTimestampFormat)) + u' ';
    }
    line += threadTag(reinterpret_cast<quintptr>(QThread::currentThreadId()));
    line += mBody;
    Logger::instance().write(line, mLevel);
}

}  // namespace OVLogging
