#pragma once

#include <QString>
#include <functional>

namespace OVRestart {

// Starts the main application detached with "OpenByUpdate" and the version,
// without a working folder of its own; a failed start is not detected.
void startMainApplication(const QString& appPath, const QString& version);

// Ends the process with status -1 at once, after the function given to
// setBeforeExit (the entry closes its single-instance objects there).
[[noreturn]] void endProcess();
void setBeforeExit(std::function<void()> beforeExit);

// startMainApplication, then ends the process with status -1 at once.
[[noreturn]] void startMainApplicationAndExit(const QString& appPath, const QString& version);

}  // namespace OVRestart
