#pragma once

// A sandbox installation of the main application and a 7z package that
// updates it, for the installation tests.

#include <QString>

namespace updatertest {

struct SampleInstallation {
    // <root>/install with app.txt "old app"; Update's folder two levels below
    // it holds a runtime file msvcp140.dll "old runtime".
    explicit SampleInstallation(const QString& root);
    bool created = false;
    QString installDir;
    QString updaterDir;
};

// Packs a new tree with "7z a" (app.txt "new app", data/added.txt "added",
// and a new msvcp140.dll beside Update), built under workDir.
bool makeSamplePackage(const QString& workDir, const QString& packagePath);

}  // namespace updatertest
