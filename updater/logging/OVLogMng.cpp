#include "logging/OVLogMng.h"

#include <QDebug>
#include <QDir>
#include <QStandardPaths>
#include <memory>
#include <mutex>
#include <string>

#include "logging/OVLogDestinations.h"
#include "logging/OVLogger.h"

using namespace OVLogging;

OVLogMng* OVLogMng::instance() {
    static std::mutex mutex;
    static std::unique_ptr<OVLogMng> manager;
    std::lock_guard<std::mutex> lock(mutex);
    if (!manager) manager.reset(new OVLogMng());
    return manager.get();
}

QString OVLogMng::logFolderFor(const QString& appDataLocation) {
    const qsizetype slash = appDataLocation.lastIndexOf(u'/');
    const QString base = slash >= 0 ? appDataLocation.left(slash) : appDataLocation;
    return base + QStringLiteral("/peza-studio/logs");
}

void OVLogMng::init(const QString& fileName) {
    const QString folder =
        logFolderFor(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const bool made = QDir().mkpath(folder);
    qDebug() << "mk log path=" << made;

    Logger& logger = Logger::instance();
    logger.setLevel(DebugLevel);
    mLogFilePath = folder + u'/' + fileName;
    DestinationPtr file =
        DestinationFactory::makeFileDestination(mLogFilePath, true, kMaxLogSize, kOldLogsKept);
    logger.addDestination(DestinationFactory::makeDebugOutputDestination());
    logger.addDestination(file);

    const std::string rule(93, '+');
    const std::string banner = std::string(37, '=') + "【沛扎直播启动】" + std::string(46, '=');
    OVLOG_INFO() << rule.c_str();
    OVLOG_INFO() << banner.c_str();
    OVLOG_INFO() << rule.c_str();
}
