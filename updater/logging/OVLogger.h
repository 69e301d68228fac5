#pragma once

#include <QDebug>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "logging/OVLogLevel.h"

namespace OVLogging {

class Destination;
using DestinationPtr = std::shared_ptr<Destination>;

// The process's log: a level threshold and the destinations every line goes
// to, in the order added. Created on first use and never destroyed, so that
// threads still running at exit can log.
class Logger {
public:
    static Logger& instance();

    void setLevel(Level level) { mLevel.store(level, std::memory_order_relaxed); }
    Level level() const { return static_cast<Level>(mLevel.load(std::memory_order_relaxed)); }

    void setIncludeLevel(bool include) { mIncludeLevel.store(include); }
    bool includeLevel() const { return mIncludeLevel.load(); }
    void setIncludeTimestamp(bool include) { mIncludeTimestamp.store(include); }
    bool includeTimestamp() const { return mIncludeTimestamp.load(); }

    void addDestination(DestinationPtr destination);
    // Hands the complete line to every destination while holding the lock,
    // so that lines of different threads never mix.
    void write(const QString& line, Level level);

private:
    Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    std::mutex mMutex;
    std::atomic<int> mLevel{InfoLevel};
    std::vector<DestinationPtr> mDestinations;
    std::atomic<bool> mIncludeLevel{true};
    std::atomic<bool> mIncludeTimestamp{true};
};

// "{0x<id in lower-case hex>} ", padded with blanks to at least 9 characters.
QString threadTag(quintptr threadId);

// Collects the items of one log statement through Qt's debug stream (a blank
// after every item, strings quoted) and writes the line when it goes away.
class MessageBuilder {
public:
    explicit MessageBuilder(Level level);
    ~MessageBuilder();
    MessageBuilder(const MessageBuilder&) = delete;
    MessageBuilder& operator=(const MessageBuilder&) = delete;

    QDebug& stream() { return *mStream; }

private:
    Level mLevel;
    QString mBody;
    std::optional<QDebug> mStream;
};

}  // namespace OVLogging

// A log statement: OVLOG_DEBUG() << "text" << value; Below the logger's
// level the items are not even evaluated.
#define OVLOG_AT(lvl)                                      \
    if (::OVLogging::Logger::instance().level() > (lvl)) { \
    } else                                                 \
        ::OVLogging::MessageBuilder(lvl).stream()

#define OVLOG_TRACE() OVLOG_AT(::OVLogging::TraceLevel)
#define OVLOG_DEBUG() OVLOG_AT(::OVLogging::DebugLevel)
#define OVLOG_INFO() OVLOG_AT(::OVLogging::InfoLevel)
#define OVLOG_WARN() OVLOG_AT(::OVLogging::WarnLevel)
#define OVLOG_ERROR() OVLOG_AT(::OVLogging::ErrorLevel)
#define OVLOG_FATAL() OVLOG_AT(::OVLogging::FatalLevel)
