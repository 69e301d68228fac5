#pragma once

#include <QString>
#include <QStringList>

// What the installation passes to the 7-Zip command-line archiver.
namespace OVArchiverArguments {

// The C/C++ runtime files that must never be overwritten by a package when
// they sit beside Update, in the order they are checked.
const QStringList& runtimeNames();

// The runtime names present as entries of the updater folder, in list order.
// Logs "file exists: " and the path of each.
QStringList presentRuntimeNames(const QString& updaterDir);

// The folder two levels above the updater folder, absolute, "/" separated.
QString installationFolderFor(const QString& updaterDir);

// "x", the package, "-o<folder>", "-sdel", "-aoa", "-bsp1", "-bse1", then
// "-xr!<name>" for each excluded name.
QStringList extractArguments(const QString& packagePath, const QString& installDir,
                             const QStringList& excludedNames);

}  // namespace OVArchiverArguments
