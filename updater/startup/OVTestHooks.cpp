#include "startup/OVTestHooks.h"

#include <QtGlobal>
#include <csignal>
#include <cstdlib>

#include "install/OVInstallSteps.h"

namespace OVTestHooks {

void install() {
    static const int killAfter = qEnvironmentVariableIntValue("OV_TEST_KILL_AFTER_STEP");
    if (killAfter <= 0) return;
    OVInstallSteps::setStepHook([] {
        static int steps = 0;
        if (++steps < killAfter) return;
#ifdef SIGKILL
        std::raise(SIGKILL);
#endif
        std::_Exit(137);
    });
}

bool exitAfterRecovery() { return qEnvironmentVariableIsSet("OV_TEST_EXIT_AFTER_RECOVERY"); }

}  // namespace OVTestHooks
