#pragma once

#include <QString>

// The product's uninstall entry, whose "DisplayName" is "沛扎直播".
namespace OVUninstallEntry {

// The INI file standing for the uninstall key outside Windows:
// $OV_UNINSTALL_REGISTRY, else <storeDir>/uninstall-registry.ini.
QString registryFile(const QString& storeDir);

// Writes the version as the entry's "DisplayVersion"; every outcome is only
// logged.
void setDisplayVersion(const QString& version, const QString& storeDir);

}  // namespace OVUninstallEntry
