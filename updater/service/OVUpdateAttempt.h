#pragma once

#include <QString>
#include <cstdint>
#include <mutex>

class OVUpdateObserver;
class OVUpdateSettings;

// Finish code of an attempt that could not start: as for a failed init.
constexpr int32_t kAttemptNotStarted = 3;

// One attempt of checkUpdateAndDownload, run on its update thread: the
// process-wide private is created on the first attempt from these arguments
// and the settings (the package's checked copy goes into packageCopyFolder),
// reporting to the observer, and reused unchanged by later ones; then init and
// start, or finish code 3 when init fails. The private is torn down at process exit, after any
// attempt in progress, which stops the downloads.
void runUpdateAttempt(OVUpdateObserver& observer, const OVUpdateSettings& settings,
                      QString softCode, QString version, QString packageCopyFolder);

// Holds off attempts (and the exit teardown) while the caller uses the
// library singletons.
std::unique_lock<std::recursive_mutex> lockUpdateAttempts();
