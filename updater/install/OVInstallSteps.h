#pragma once

#include <QString>
#include <string>

#include "platform/OVInstallJournal.h"

// Glue between the installation and the journal of the platform layer.
namespace OVInstallSteps {

OVPlatform::InstallWorkArea workAreaFor(const QString& installDir);
QString fromPath(const OVPlatform::fs::path& path);

// Journal messages go to the updater log.
OVPlatform::InstallLog log();

// Called after each journal step. With the test-only environment variable
// OV_TEST_KILL_AFTER_STEP=k the process kills itself (SIGKILL) after its
// k-th step, counting commit and recovery steps alike.
OVPlatform::InstallStepHook stepHook();

// The test-only environment variable OV_TEST_EXIT_AFTER_RECOVERY is set.
bool exitAfterRecovery();

}  // namespace OVInstallSteps
