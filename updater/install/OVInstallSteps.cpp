#include "install/OVInstallSteps.h"

#include <QFileInfo>

#include "logging/OVLogging.h"

namespace OVInstallSteps {

OVPlatform::InstallWorkArea workAreaFor(const QString& installDir) {
    return OVPlatform::InstallWorkArea(OVPlatform::fs::u8path(installDir.toUtf8().toStdString()));
}

QString fromPath(const OVPlatform::fs::path& path) {
    return QString::fromStdString(path.u8string());
}

QString packageCopyFolder(const QString& installDir) {
    return fromPath(workAreaFor(installDir).package());
}

QString packageCopyPath(const QString& installDir, const QString& packagePath) {
    return packageCopyFolder(installDir) + QLatin1Char('/') + QFileInfo(packagePath).fileName();
}

OVPlatform::InstallLog log() {
    return [](const std::string& line) { OVLOG_DEBUG() << QString::fromStdString(line); };
}

namespace {
OVPlatform::InstallStepHook& hook() {
    static OVPlatform::InstallStepHook installed;
    return installed;
}
}  // namespace

OVPlatform::InstallStepHook stepHook() { return hook(); }

void setStepHook(OVPlatform::InstallStepHook step) { hook() = std::move(step); }

}  // namespace OVInstallSteps
