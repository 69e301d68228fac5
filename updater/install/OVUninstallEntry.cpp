#include "install/OVUninstallEntry.h"

#include <QDir>

#include "logging/OVLogging.h"
#include "platform/OVUninstallRegistry.h"

namespace OVUninstallEntry {

QString registryFile(const QString& storeDir) {
    const QString fromEnvironment = qEnvironmentVariable("OV_UNINSTALL_REGISTRY");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    return QDir(storeDir).filePath(QStringLiteral("uninstall-registry.ini"));
}

void setDisplayVersion(const QString& version, const QString& storeDir) {
    OVLOG_DEBUG() << "AlterRegisterTable invoke===============" << version;
    OVPlatform::setUninstallDisplayVersion(
        QStringLiteral("沛扎直播").toStdU16String(), version.toStdU16String(),
        registryFile(storeDir).toStdString(),
        [](const std::string& line) { OVLOG_DEBUG() << QString::fromStdString(line); });
}

}  // namespace OVUninstallEntry
