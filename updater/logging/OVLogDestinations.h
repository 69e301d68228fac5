#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <memory>

#include "logging/OVLogLevel.h"
#include "logging/OVLogRotation.h"

namespace OVLogging {

// Where complete log lines go.
class Destination {
public:
    virtual ~Destination() = default;
    virtual void write(const QString& message, Level level) = 0;
    virtual bool isValid() = 0;
};
using DestinationPtr = std::shared_ptr<Destination>;

// The platform's debugger output (standard error where there is none).
class DebugOutputDestination : public Destination {
public:
    void write(const QString& message, Level level) override;
    bool isValid() override { return true; }
};

// A UTF-8 text file, one flushed line per message, rotated by its strategy.
// A file that cannot be opened loses its lines; the failure is reported once
// on standard error.
class FileDestination : public Destination {
public:
    FileDestination(const QString& filePath, RotationStrategyPtr rotation);
    void write(const QString& message, Level level) override;
    bool isValid() override { return mFile.isOpen(); }

private:
    bool open();

    QFile mFile;
    QTextStream mStream;
    RotationStrategyPtr mRotation;
};

// Hands each line to a callback and, above TRACE, to the signal
// logMessageReady.
class FunctorDestination : public QObject, public Destination {
    Q_OBJECT
public:
    using Callback = std::function<void(const QString& message, Level level)>;

    explicit FunctorDestination(Callback callback = Callback());
    void write(const QString& message, Level level) override;
    bool isValid() override { return true; }

signals:
    void logMessageReady(const QString& message, int level);

private:
    Callback mCallback;
};

struct DestinationFactory {
    // With rotation, the file keeps growing across runs and is rotated past
    // maxSizeBytes keeping at most oldLogsToKeep backups (cut to 10);
    // without, it starts empty at every run.
    static DestinationPtr makeFileDestination(const QString& filePath, bool rotate,
                                              qint64 maxSizeBytes, int oldLogsToKeep);
    static DestinationPtr makeDebugOutputDestination();
    static DestinationPtr makeFunctorDestination(FunctorDestination::Callback callback);
    // Delivers the lines to the receiver's slot (a SLOT() signature taking a
    // QString and an int) through its event loop.
    static DestinationPtr makeFunctorDestination(QObject* receiver, const char* member);
};

}  // namespace OVLogging
