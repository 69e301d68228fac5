#include "windows/OVRestart.h"

#include <QProcess>
#include <cstdlib>

namespace OVRestart {

void startMainApplication(const QString& appPath, const QString& version) {
    QProcess::startDetached(appPath, {QStringLiteral("OpenByUpdate"), version});
}

void startMainApplicationAndExit(const QString& appPath, const QString& version) {
    startMainApplication(appPath, version);
    std::exit(-1);
}

}  // namespace OVRestart
