#include <QSettings>
#include <QString>

#include "OVUninstallRegistry.h"
#include "platform/OVDebugOutput.h"

namespace OVPlatform {

// Each group of the INI file is one entry; groups are visited in the order
// QSettings lists them (sorted by name, like the registry's enumeration).
void setUninstallDisplayVersion(const std::u16string& displayName, const std::u16string& version,
                                const std::string& iniFile, const UninstallLog& log) {
    QSettings registry(QString::fromStdString(iniFile), QSettings::IniFormat);
    if (registry.status() != QSettings::NoError) {
        OVLogging::platform::writeDebugOutput("open failed===============");
        return;
    }
    const QString wanted = QString::fromStdU16String(displayName);
    const QString newVersion = QString::fromStdU16String(version);
    for (const QString& group : registry.childGroups()) {
        const QString key = group + QStringLiteral("/DisplayName");
        const QVariant name = registry.value(key);
        if (!name.isValid() || name.toString() != wanted) continue;
        log("Reg key str== " + newVersion.toStdString());
        QVariant value(newVersion);
        value.convert(name.metaType());
        registry.setValue(group + QStringLiteral("/DisplayVersion"), value);
        registry.sync();
        log("Reg key== " + group.toStdString());
        log("RegSetValueEx result===============" +
            std::to_string(static_cast<int>(registry.status())));
        return;
    }
    log("no uninstall entry named " + wanted.toStdString() + " in " + iniFile +
        ": version not recorded");
}

}  // namespace OVPlatform
