#pragma once

#include <QString>
#include <string>

#include "platform/OVInstallJournal.h"

// Glue between the installation and the journal of the platform layer.
namespace OVInstallSteps {

OVPlatform::InstallWorkArea workAreaFor(const QString& installDir);
QString fromPath(const OVPlatform::fs::path& path);

// The folder of the package's checked copy, in the work folder beside the
// installation, which has the installation's permissions rather than the
// user's; and the copy of a package in it.
QString packageCopyFolder(const QString& installDir);
QString packageCopyPath(const QString& installDir, const QString& packagePath);

// Journal messages go to the updater log.
OVPlatform::InstallLog log();

// Called after each journal step, and after each file a delta stages:
// nothing, unless a test build of Update set a hook (startup/OVTestHooks.h).
OVPlatform::InstallStepHook stepHook();
void setStepHook(OVPlatform::InstallStepHook hook);

}  // namespace OVInstallSteps
