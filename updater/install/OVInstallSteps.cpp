#include "install/OVInstallSteps.h"

#include <csignal>
#include <cstdlib>

#include "logging/OVLogging.h"

namespace OVInstallSteps {

OVPlatform::InstallWorkArea workAreaFor(const QString& installDir) {
    return OVPlatform::InstallWorkArea(OVPlatform::fs::u8path(installDir.toUtf8().toStdString()));
}

QString fromPath(const OVPlatform::fs::path& path) {
    return QString::fromStdString(path.u8string());
}

OVPlatform::InstallLog log() {
    return [](const std::string& line) { OVLOG_DEBUG() << QString::fromStdString(line); };
}

OVPlatform::InstallStepHook stepHook() {
    static const int killAfter = qEnvironmentVariableIntValue("OV_TEST_KILL_AFTER_STEP");
    if (killAfter <= 0) return {};
    return [] {
        static int steps = 0;
        if (++steps < killAfter) return;
#ifdef SIGKILL
        std::raise(SIGKILL);
#endif
        std::_Exit(137);
    };
}

bool exitAfterRecovery() { return qEnvironmentVariableIsSet("OV_TEST_EXIT_AFTER_RECOVERY"); }

}  // namespace OVInstallSteps
