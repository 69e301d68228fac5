#include "windows/OVRestart.h"

#include <QProcess>
#include <cstdlib>

namespace OVRestart {

namespace {
std::function<void()>& beforeExitFunction() {
    static std::function<void()> function;
    return function;
}
}  // namespace

void setBeforeExit(std::function<void()> beforeExit) {
    beforeExitFunction() = std::move(beforeExit);
}

void startMainApplication(const QString& appPath, const QString& version) {
    QProcess::startDetached(appPath, {QStringLiteral("OpenByUpdate"), version});
}

void endProcess() {
    // Without running static destructors: windows, the application object
    // and a detached update thread may all still be alive here. The log and
    // the settings are written through on every line and key.
    if (beforeExitFunction()) beforeExitFunction()();
    std::_Exit(-1);
}

void startMainApplicationAndExit(const QString& appPath, const QString& version) {
    startMainApplication(appPath, version);
    endProcess();
}

}  // namespace OVRestart
