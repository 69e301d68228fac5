#pragma once

#include <QString>

namespace OVRestart {

// Starts the main application detached with "OpenByUpdate" and the version,
// then ends the process with status -1.
[[noreturn]] void startMainApplicationAndExit(const QString& appPath, const QString& version);

}  // namespace OVRestart
