#pragma once

#include <QString>

namespace OVRestart {

// Starts the main application detached with "OpenByUpdate" and the version,
// without a working folder of its own; a failed start is not detected.
void startMainApplication(const QString& appPath, const QString& version);

// Ends the process with status -1 at once.
[[noreturn]] void endProcess();

// startMainApplication, then ends the process with status -1 at once.
[[noreturn]] void startMainApplicationAndExit(const QString& appPath, const QString& version);

}  // namespace OVRestart
