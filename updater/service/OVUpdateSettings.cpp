#include "service/OVUpdateSettings.h"

#include <QSettings>

namespace {

const char kHost[] = "update/host";
const char kContent[] = "update/content";
const char kSetupProgress[] = "update/setupProgress";
const char kLocalVer[] = "update/localPEZAVer";
const char kRemoteVer[] = "update/remotePEZAVer";
const char kRemoteDeviceVer[] = "update/remoteDeviceVer";
const char kDevUpgradeProcess[] = "update/devUpgradeProcess";
const char kCaFile[] = "update/caFile";
const char kInsecureTls[] = "update/insecureTls";

}  // namespace

OVUpdateSettings::OVUpdateSettings(const QString& appDataLocation)
    : mStoreDir(storeDirFor(appDataLocation)) {}

QString OVUpdateSettings::storeDirFor(const QString& appDataLocation) {
    const qsizetype slash = appDataLocation.lastIndexOf(u'/');
    if (slash <= 0) return QString();
    return appDataLocation.left(slash) + QStringLiteral("/peza-studio/");
}

QString OVUpdateSettings::text(const char* key) const {
    return QSettings(settingsFile(), QSettings::IniFormat).value(QLatin1String(key)).toString();
}

int OVUpdateSettings::integer(const char* key) const {
    return QSettings(settingsFile(), QSettings::IniFormat).value(QLatin1String(key)).toInt();
}

void OVUpdateSettings::write(const char* key, const QVariant& value) {
    QSettings(settingsFile(), QSettings::IniFormat).setValue(QLatin1String(key), value);
}

QString OVUpdateSettings::host() const { return text(kHost); }
void OVUpdateSettings::setHost(const QString& host) { write(kHost, host); }
QString OVUpdateSettings::content() const { return text(kContent); }
void OVUpdateSettings::setContent(const QString& content) { write(kContent, content); }
int OVUpdateSettings::setupProgress() const { return integer(kSetupProgress); }
void OVUpdateSettings::setSetupProgress(int progress) { write(kSetupProgress, progress); }
QString OVUpdateSettings::localVer() const { return text(kLocalVer); }
void OVUpdateSettings::setLocalVer(const QString& version) { write(kLocalVer, version); }
QString OVUpdateSettings::remoteVer() const { return text(kRemoteVer); }
void OVUpdateSettings::setRemoteVer(const QString& version) { write(kRemoteVer, version); }
QString OVUpdateSettings::remoteDeviceVer() const { return text(kRemoteDeviceVer); }
void OVUpdateSettings::setRemoteDeviceVer(const QString& version) {
    write(kRemoteDeviceVer, version);
}
int OVUpdateSettings::devUpgradeProcess() const { return integer(kDevUpgradeProcess); }
void OVUpdateSettings::setDevUpgradeProcess(int process) { write(kDevUpgradeProcess, process); }
QString OVUpdateSettings::caFile() const { return text(kCaFile); }
void OVUpdateSettings::setCaFile(const QString& path) { write(kCaFile, path); }
int OVUpdateSettings::insecureTls() const { return integer(kInsecureTls); }
void OVUpdateSettings::setInsecureTls(int insecure) { write(kInsecureTls, insecure); }

void OVUpdateSettings::fillHostIfEmpty(const QString& host) {
    if (this->host().isEmpty()) setHost(host);
}
