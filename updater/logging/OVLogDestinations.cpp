#include "logging/OVLogDestinations.h"

#include "logging/OVLogFailure.h"
#include "platform/OVDebugOutput.h"

namespace OVLogging {

namespace {

const QIODevice::OpenMode kWriteText = QIODevice::WriteOnly | QIODevice::Text;

}  // namespace

void DebugOutputDestination::write(const QString& message, Level) {
    platform::writeDebugOutput(message.toUtf8().constData());
    platform::writeDebugOutput("\n");
}

FileDestination::FileDestination(const QString& filePath, RotationStrategyPtr rotation)
    : mFile(filePath), mRotation(std::move(rotation)) {
    mStream.setEncoding(QStringConverter::Utf8);
    if (!open()) reportLogFailure(QStringLiteral("could not open log file ") + filePath);
}

bool FileDestination::open() {
    if (!mFile.open(kWriteText | mRotation->reopenMode())) return false;
    mStream.setDevice(&mFile);
    mRotation->initFromFile(mFile);
    return true;
}

void FileDestination::write(const QString& message, Level) {
    if (!mFile.isOpen()) return;
    mRotation->addMessageSize(message);
    if (mRotation->shouldRotate()) {
        mStream.setDevice(nullptr);
        mFile.close();
        mRotation->rotate();
        if (!open()) {
            reportLogFailure(QStringLiteral("could not reopen log file ") + mFile.fileName());
            return;
        }
    }
    mStream << message << '\n';
    mStream.flush();
}

FunctorDestination::FunctorDestination(Callback callback) : mCallback(std::move(callback)) {}

void FunctorDestination::write(const QString& message, Level level) {
    if (mCallback) mCallback(message, level);
    if (level > TraceLevel) emit logMessageReady(message, level);
}

DestinationPtr DestinationFactory::makeFileDestination(const QString& filePath, bool rotate,
                                                       qint64 maxSizeBytes, int oldLogsToKeep) {
    RotationStrategyPtr rotation;
    if (rotate) {
        auto size = std::make_shared<SizeRotationStrategy>();
        size->setMaximumSizeInBytes(maxSizeBytes);
        size->setBackupCount(oldLogsToKeep);
        rotation = size;
    } else {
        rotation = std::make_shared<NullRotationStrategy>();
    }
    return std::make_shared<FileDestination>(filePath, rotation);
}

DestinationPtr DestinationFactory::makeDebugOutputDestination() {
    return std::make_shared<DebugOutputDestination>();
}

DestinationPtr DestinationFactory::makeFunctorDestination(FunctorDestination::Callback callback) {
    return std::make_shared<FunctorDestination>(std::move(callback));
}

DestinationPtr DestinationFactory::makeFunctorDestination(QObject* receiver, const char* member) {
    auto destination = std::make_shared<FunctorDestination>();
    QObject::connect(destination.get(), SIGNAL(logMessageReady(QString, int)), receiver, member,
                     Qt::QueuedConnection);
    return destination;
}

}  // namespace OVLogging
