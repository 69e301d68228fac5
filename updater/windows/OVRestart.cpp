#include "windows/OVRestart.h"

#include <QProcess>
#include <cstdlib>

namespace OVRestart {

void startMainApplicationAndExit(const QString& appPath, const QString& version) {
    QProcess::startDetached(appPath, {QStringLiteral("OpenByUpdate"), version});
    std::exit(-1);
}

}  // namespace OVRestart
