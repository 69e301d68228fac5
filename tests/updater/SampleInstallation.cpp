#include "SampleInstallation.h"

#include <QProcess>

#include "QtTestApp.h"

namespace updatertest {

SampleInstallation::SampleInstallation(const QString& root)
    : installDir(root + "/install"), updaterDir(root + "/install/bin/updater") {
    created = writeFile(installDir + "/app.txt", "old app") &&
              writeFile(updaterDir + "/msvcp140.dll", "old runtime");
}

bool makeSamplePackage(const QString& workDir, const QString& packagePath) {
    const QString tree = workDir + "/tree";
    if (!writeFile(tree + "/app.txt", "new app") || !writeFile(tree + "/data/added.txt", "added") ||
        !writeFile(tree + "/bin/updater/msvcp140.dll", "new runtime"))
        return false;
    QProcess archiver;
    archiver.setWorkingDirectory(tree);
    archiver.start("7z", {"a", "-bd", packagePath, "."});
    return archiver.waitForFinished(60000) && archiver.exitStatus() == QProcess::NormalExit &&
           archiver.exitCode() == 0;
}

}  // namespace updatertest
